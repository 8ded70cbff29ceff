// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MoneyConversion.h"
#include "ParameterMap.h"
#include "TransferDisplay.h"

#include <QWidget>

#include <array>
#include <functional>

class ApplicationCore;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class RunCounters;
class RunView;
class RunViewModel;
class SamplingRun;

// The sampling window: twelve coin channels, each with its money amount, an "Insert" button
// that teaches the channel and a progress bar; below them the run's counters, "Cancel", the
// commands and the status line. Its mode and amounts are set once, while it is built.
class SamplingWindow : public QWidget
{
    Q_OBJECT
public:
    using FileChooser = std::function<QString(const QString& title)>;

    // operation 0 is teaching, anything else re-teaching (the channels of the core's STRCH).
    SamplingWindow(ApplicationCore& core, int operation, QWidget* parent = nullptr);

    // A warning that replaces the status line's text (the selector check before teaching).
    void showWarning(const QString& text);

    // The save dialog; tests replace it.
    void setSaveFileChooser(FileChooser chooser) { m_chooseSaveFile = std::move(chooser); }

private:
    // While a link operation runs, the commands that would start another one are disabled.
    void setLinkBusy(bool busy);

    static constexpr std::size_t ChannelCount = ParameterMap::CoinCount;

    struct Channel
    {
        QLineEdit* money = nullptr;
        QPushButton* insert = nullptr;
        QProgressBar* bar = nullptr;
    };

    QWidget* createFrame(std::size_t firstChannel);
    // Teaches one channel; refused while the link is busy (another run included).
    void insert(std::size_t channel);
    void showRunControls(bool shown);
    void showAmounts();
    void showMode(int operation);
    void showStatus(const QString& text, StatusColour colour);
    void saveAsCdtFile();
    void programToSelector();
    void exitWithConversion();

    ApplicationCore& m_core;
    std::array<Channel, ChannelCount> m_channels{};
    // Only amounts that were converted in may be converted back: boxes still holding their
    // design text would otherwise overwrite every Money byte.
    bool m_amountsShown = false;

    SamplingRun* m_run = nullptr; // a child: it goes with the window
    RunCounters* m_runCounters = nullptr;
    QPushButton* m_interrept = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QLabel* m_labelStats = nullptr;
    QLabel* m_strch2 = nullptr;
    RunViewModel* m_runModel = nullptr;
    RunView* m_runView = nullptr;
    FileChooser m_chooseSaveFile;
};
