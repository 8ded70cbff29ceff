// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EditorFields.h"
#include "EditorMode.h"

#include <QWidget>

#include <array>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class SelectorImage;

// The parameter editor: shows the user-facing parameters of the image as fields and writes
// them back on "OK" or "Program to Coin Selector". Until then the image is left alone; closing
// by "Exit" or the close box discards the edits. The link work that follows (programming,
// teaching, the editor defaults) belongs to the opener, which listens to the signals.
class SettingWindow : public QWidget
{
    Q_OBJECT

public:
    // Fills the lists, then every field from the image.
    explicit SettingWindow(SelectorImage& image, QWidget* parent = nullptr);

    // Caption and visible buttons as the opener wants them; the fields are not reloaded.
    void applyMode(EditorMode mode);

public slots:
    // While a link operation runs, the buttons that would start another one are disabled.
    void setLinkBusy(bool busy);

signals:
    // The fields were written back; the window closes next.
    void okAccepted();
    // The fields were written back; the opener programs the selector. The window stays open.
    void programRequested();
    // The opener loads the editor defaults, closes this window (close() never writes back)
    // and opens a fresh one.
    void loadDefaultRequested();

private:
    // Tolerance A, B and C, Disable and Separator of a coin.
    static constexpr std::size_t CoinChoiceCount = 5;

    struct NumericControls
    {
        QLineEdit* box = nullptr;
        QScrollBar* bar = nullptr;
    };
    struct CoinControls
    {
        NumericControls money;
        std::array<QComboBox*, CoinChoiceCount> choices{};
    };

    QWidget* createBankFrame(std::size_t bank);
    QWidget* createGeneralFields();
    QLayout* createButtons();
    NumericControls createNumericControls(const QString& nameSuffix, const QString& accessibleName);
    QLabel* addNumericRow(QGridLayout* grid, int row, EditorFields::NumericField field,
                          const QString& caption, const QString& nameSuffix);

    void showFields(const EditorFields& fields);
    EditorFields shownFields() const;
    void writeBack();

    SelectorImage& m_image;
    // The fields as opened; a list that shows no entry keeps the value it was opened with.
    EditorFields m_opened;

    QComboBox* m_outputMode = nullptr;
    QComboBox* m_inhibitLevel = nullptr;
    std::array<NumericControls, EditorFields::NumericFieldCount> m_numeric{};
    std::array<CoinControls, ParameterMap::CoinCount> m_coins{};

    QPushButton* m_ok = nullptr;
    QPushButton* m_loadDefault = nullptr;
    QPushButton* m_program = nullptr;
    QPushButton* m_exit = nullptr;
};
