// SPDX-License-Identifier: GPL-3.0-or-later
#include "SamplingRun.h"

#include "LinkCommands.h"

#include <algorithm>

namespace {

CoinReportSession::Protocol teachingProtocol()
{
    return {.startFrame = LinkCommands::teachStart(),
            .startReplyLead = LinkCommands::TeachStartLead,
            .sampleCount = SamplingRun::SampleCount,
            .accepts = [](const CoinReport& report) { return report.isAcceptedForTeaching(); },
            .startText = QStringLiteral("Insert %1 Coins !!").arg(SamplingRun::SampleCount)};
}

} // namespace

SamplingRun::SamplingRun(int channel, ToleranceKept keepTolerance, SelectorLink& link,
                         SelectorImage& image, QObject* parent)
    : QObject(parent), m_channel(channel), m_keepTolerance(std::move(keepTolerance)),
      m_image(image), m_session(teachingProtocol(), link)
{
    connect(&m_session, &CoinReportSession::statusChanged, this, &SamplingRun::statusChanged);
    connect(&m_session, &CoinReportSession::progressChanged, this, &SamplingRun::progressChanged);
    connect(&m_session, &CoinReportSession::ended, this, &SamplingRun::onEnded);
}

bool SamplingRun::start()
{
    return m_session.start();
}

void SamplingRun::cancel()
{
    m_session.cancel();
}

void SamplingRun::onEnded(CoinReportSession::Ending ending)
{
    switch (ending) {
    case CoinReportSession::Ending::Cancelled:
        windUp(Outcome::Cancelled);
        return;
    case CoinReportSession::Ending::NoStartReply:
    case CoinReportSession::Ending::SelectorLost:
        windUp(Outcome::SelectorError);
        return;
    case CoinReportSession::Ending::Collected:
        break;
    }
    SamplingStatistics::Samples samples{};
    std::transform(m_session.reports().begin(), m_session.reports().end(), samples.begin(),
                   [](const CoinReport& report) {
                       return CoinSample{report.ab(), report.x(), report.y(), report.dH()};
                   });
    const SamplingStatistics statistics(samples);
    statistics.writeTo(m_image, m_channel, m_keepTolerance && m_keepTolerance());
    emit sampled(statistics);
    emit statusChanged(statistics.summaryText(), StatusColour::Green);
    windUp(Outcome::Sampled);
}

void SamplingRun::windUp(Outcome outcome)
{
    // The session goes with the run, and with it this call.
    m_session.stop([this, outcome] { emit finished(outcome); });
    emit completed(outcome);
}
