// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TransferDisplay.h"

#include <QWidget>

class ApplicationCore;
class CalibrationRun;
class QLabel;
class QProgressBar;
class QPushButton;
class RunCounters;
class RunView;
class RunViewModel;

// The global calibration window: "insert" calibrates the selector on forty reference coins and
// programs the calibration record of the core's TOKEN; the run's counters, "Cancel", the
// progress bar, the status line and the reject warning show it. The window deletes itself when
// closed; a run still going is cancelled with its stop frame.
class CalibrationWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CalibrationWindow(ApplicationCore& core, QWidget* parent = nullptr);

private:
    // Refused while a link operation runs (a run of this window included).
    void insert();
    void showRunControls(bool shown);
    void showStatus(const QString& text, StatusColour colour);

    ApplicationCore& m_core;
    CalibrationRun* m_run = nullptr; // a child: it goes with the window
    QPushButton* m_insert;
    QPushButton* m_interrept;
    RunCounters* m_runCounters;
    QProgressBar* m_bar;
    QLabel* m_labelStats;
    QLabel* m_labelPickOut;
    RunViewModel* m_runModel;
    RunView* m_runView;
};
