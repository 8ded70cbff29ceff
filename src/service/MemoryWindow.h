// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MemoryMonitor.h"
#include "TransferDisplay.h"

#include <QWidget>

#include <array>

class ApplicationCore;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The raw view of the selector's memory: one box per address in decimal or hexadecimal, read
// and programmed as a whole; below it the monitor rows with the service queries, and the
// selector's events in the status line, the sensor-time events kept for the log file.
class MemoryWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int BoxCount = 190; // the image's 189 bytes and one more box

    explicit MemoryWindow(ApplicationCore& core, QWidget* parent = nullptr);

    // True while the boxes hold decimal text.
    bool abc() const { return m_abc; }

private:
    using RowBoxes = std::array<QLineEdit*, MemoryMonitor::RowBoxCount>;

    QWidget* createCoinTables();
    QWidget* createSingleBoxes();
    QWidget* createMonitorRows();
    QLineEdit* createBox(int address, const QString& accessibleName);
    RowBoxes createRow(QGridLayout* grid, int row, int firstNumber, const QString& name);

    void showIn(bool hexadecimal);
    // Image cells into their boxes as the bytes they program, in the mode shown.
    void showCells(int first, int last);
    // False, with the first box that does not say a byte named and marked, if there is one.
    bool everyBoxSaysAByte();
    // Writes a box into its cell only where the box says another byte than the cell gives.
    void copyGridToImage();
    void readSelector();
    void programSelector();
    void exitWithCopy();
    void showMessage(const QByteArray& bytes);
    void showStatus(const QString& text, StatusColour colour);
    void setLinkBusy(bool busy);

    ApplicationCore& m_core;
    MemoryMonitor m_monitor;
    bool m_abc = true;
    std::array<QLineEdit*, BoxCount> m_boxes{};
    std::array<RowBoxes, 4> m_rows{}; // by MemoryMonitor::Row
    QRadioButton* m_op10 = nullptr;
    QRadioButton* m_op16 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    std::array<QPushButton*, 3> m_queries{};
    QLabel* m_labelStats = nullptr;
    QLineEdit* m_markedBox = nullptr;
};
