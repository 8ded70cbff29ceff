// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationWindow.h"

#include "ApplicationCore.h"
#include "CalibrationRun.h"
#include "RunCounters.h"
#include "RunView.h"
#include "RunViewModel.h"
#include "SelectorLink.h"
#include "StatusColours.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CalibrationWindow::CalibrationWindow(ApplicationCore& core, QWidget* parent)
    : QWidget(parent, Qt::Window), m_core(core),
      m_insert(new QPushButton(QStringLiteral("insert"), this)),
      m_interrept(new QPushButton(QStringLiteral("Cancel"), this)),
      m_runCounters(new RunCounters(this)), m_bar(new QProgressBar(this)),
      m_labelStats(new QLabel(QStringLiteral("press  \"insert\"  !!"), this)),
      m_labelPickOut(new QLabel(this)),
      m_runModel(
          new RunViewModel(RunViewModel::calibrationMeasurements(CalibrationStatistics::LowestBm,
                                                                 CalibrationStatistics::HighestBm),
                           QStringLiteral("calibrate again"), this)),
      m_runView(new RunView(*m_runModel, QStringLiteral("Calibration"), this))
{
    setObjectName(QStringLiteral("calibration"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Global Calibration"));

    m_insert->setObjectName(QStringLiteral("insert_0"));
    connect(m_insert, &QPushButton::clicked, this, &CalibrationWindow::insert);
    m_interrept->setObjectName(QStringLiteral("interrept"));
    connect(m_interrept, &QPushButton::clicked, this, [this] {
        // Hiding the button is the request: the run stops at its next wait for a coin.
        m_interrept->hide();
        if (m_run)
            m_run->cancel();
    });
    auto* command3 = new QPushButton(QStringLiteral("3. exit"), this);
    command3->setObjectName(QStringLiteral("Command3"));
    // Closing deletes the window and its run, which stops measuring on the selector.
    connect(command3, &QPushButton::clicked, this, &QWidget::close);

    // The counters carry the form's design texts until a run sets them.
    m_runCounters->setAccepted(22);
    m_runCounters->setCount(80);
    m_bar->setObjectName(QStringLiteral("bar"));
    m_bar->setAccessibleName(QStringLiteral("Calibration progress"));
    m_bar->setTextVisible(false);
    m_labelStats->setObjectName(QStringLiteral("labelStats"));
    m_labelStats->setAccessibleDescription(QStringLiteral("Status"));
    m_labelStats->setWordWrap(true);
    m_labelPickOut->setObjectName(QStringLiteral("LabelPickOut"));
    m_labelPickOut->setAccessibleDescription(QStringLiteral("Reject warning"));
    StatusColours::apply(*m_labelPickOut, StatusColour::Red);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_insert);
    buttons->addWidget(m_interrept);
    buttons->addStretch();
    buttons->addWidget(command3);
    buttons->addWidget(m_runView->toggle());
    auto* layout = new QVBoxLayout;
    layout->addLayout(buttons);
    layout->addWidget(m_runCounters);
    layout->addWidget(m_bar);
    layout->addWidget(m_labelStats);
    layout->addWidget(m_labelPickOut);
    // The measurements stand beside the window's controls; hidden, they take no room.
    auto* beside = new QHBoxLayout(this);
    beside->addLayout(layout);
    beside->addWidget(m_runView, 1);

    showRunControls(false);
    m_insert->setEnabled(!m_core.link().isBusy());
    connect(&m_core.link(), &SelectorLink::busyChanged, m_insert,
            [this](bool busy) { m_insert->setEnabled(!busy); });
}

void CalibrationWindow::insert()
{
    if (m_run)
        return;
    auto* run = new CalibrationRun(m_core, this);
    connect(run, &CalibrationRun::statusChanged, this, &CalibrationWindow::showStatus);
    connect(run, &CalibrationRun::progressChanged, this, [this](int accepted, int awaited) {
        m_runCounters->setAccepted(accepted);
        m_bar->setValue(awaited);
    });
    connect(run, &CalibrationRun::rejected, this, [this](const QString& text) {
        m_labelPickOut->setText(text);
        m_labelPickOut->show();
    });
    connect(run, &CalibrationRun::measured, m_runModel,
            [this](const CalibrationStatistics& statistics) {
                m_runModel->finish(statistics.measurements());
            });
    // Cancel shows only while it can still have an effect.
    connect(run, &CalibrationRun::programmingStarted, m_interrept, &QWidget::hide);
    connect(run, &CalibrationRun::finished, this, [this, run](CalibrationRun::Outcome outcome) {
        m_interrept->hide();
        // A run that was cancelled or never reached the selector leaves its counters up.
        if (outcome != CalibrationRun::Outcome::Cancelled &&
            outcome != CalibrationRun::Outcome::SelectorError)
            showRunControls(false);
        m_run = nullptr;
        run->deleteLater();
    });
    // Refused while another operation holds the link.
    if (!run->start()) {
        delete run;
        return;
    }
    m_run = run;
    m_runModel->begin(CalibrationRun::SampleCount, run->session());
    m_labelPickOut->hide();
    m_bar->setMaximum(CalibrationRun::SampleCount);
    m_runCounters->setCount(CalibrationRun::SampleCount);
    showRunControls(true);
}

void CalibrationWindow::showRunControls(bool shown)
{
    m_runCounters->setVisible(shown);
    m_interrept->setVisible(shown);
}

void CalibrationWindow::showStatus(const QString& text, StatusColour colour)
{
    StatusColours::show(*m_labelStats, text, colour);
}
