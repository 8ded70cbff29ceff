// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationRun.h"

#include "ApplicationCore.h"
#include "LinkCommands.h"
#include "ParameterMap.h"

#include <QPointer>

namespace {

// AB and XY are 15-bit quantities: a report with A or X of 128 or more is as untrustworthy as
// one with a bad checksum.
constexpr quint8 MaxCalibrationX = 127;

CoinReportSession::Protocol calibrationProtocol()
{
    return {.startFrame = LinkCommands::calibrationStart(),
            .startReplyLead = LinkCommands::CalibrationStartLead,
            .sampleCount = CalibrationRun::SampleCount,
            .accepts =
                [](const CoinReport& report) {
                    return report.isAcceptedForTeaching() && report.x() <= MaxCalibrationX;
                },
            .startText = QStringLiteral("sampling !!")};
}

CalibrationSample sampleOf(const CoinReport& report)
{
    return {report.ab(), report.xy(), report.dH()};
}

} // namespace

CalibrationRun::CalibrationRun(ApplicationCore& core, QObject* parent)
    : QObject(parent), m_core(core), m_session(calibrationProtocol(), core.link())
{
    connect(&m_session, &CoinReportSession::statusChanged, this, &CalibrationRun::statusChanged);
    connect(&m_session, &CoinReportSession::progressChanged, this,
            &CalibrationRun::progressChanged);
    connect(&m_session, &CoinReportSession::reportAccepted, this, [this](const CoinReport& report) {
        emit statusChanged(CalibrationStatistics::sampleText(sampleOf(report)), StatusColour::Blue);
    });
    connect(&m_session, &CoinReportSession::ended, this, &CalibrationRun::onEnded);
}

bool CalibrationRun::start()
{
    return m_session.start();
}

void CalibrationRun::cancel()
{
    m_cancelRequested = true;
    m_session.cancel();
}

void CalibrationRun::onEnded(CoinReportSession::Ending ending)
{
    // The session goes with the run, and with it the calls after its stop.
    switch (ending) {
    case CoinReportSession::Ending::Collected:
        showResults();
        m_session.stop([this] { afterStop(); });
        return;
    case CoinReportSession::Ending::Cancelled:
        m_session.stop([this] { emit finished(Outcome::Cancelled); });
        return;
    case CoinReportSession::Ending::SelectorLost:
        m_session.stop([this] { emit finished(Outcome::SelectorError); });
        return;
    case CoinReportSession::Ending::NoStartReply:
        // The selector never started measuring, so there is nothing to stop.
        m_session.release();
        emit finished(Outcome::SelectorError);
        return;
    }
}

void CalibrationRun::showResults()
{
    QList<CalibrationSample> samples;
    for (const CoinReport& report : m_session.reports())
        samples.append(sampleOf(report));
    m_statistics.emplace(samples);
    emit measured(*m_statistics);
    emit statusChanged(m_statistics->summaryText(), StatusColour::Green);
    const QString reject = m_statistics->rejectText();
    if (!reject.isEmpty())
        emit rejected(reject);
}

void CalibrationRun::afterStop()
{
    // Cancel clicked after the last coin, before the programming begins, still keeps the
    // record out of the image and the selector.
    if (m_cancelRequested) {
        emit statusChanged(CoinReportSession::CancelledText, StatusColour::Red);
        emit finished(Outcome::Cancelled);
        return;
    }
    const int token = m_core.token();
    if (!m_statistics->writeTo(m_core.image(), token)) {
        emit finished(Outcome::Measured);
        return;
    }
    emit programmingStarted();
    program(ParameterMap::calibrationRecord(token));
}

void CalibrationRun::program(int first)
{
    m_core.setBegin(first);
    m_core.setTotal(first + ParameterMap::CalibrationRecordSize - 1);
    // The transfer belongs to the core and outlives a run that goes away meanwhile.
    QPointer<CalibrationRun> self(this);
    const bool started = m_core.program_to_selector([self](bool succeeded) {
        if (self)
            emit self->finished(succeeded ? Outcome::Programmed : Outcome::ProgramFailed);
    });
    if (!started)
        emit finished(Outcome::ProgramFailed);
}
