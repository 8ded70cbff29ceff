// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinReportSession.h"

#include "LinkClock.h"
#include "LinkCommands.h"
#include "LinkTrace.h"

#include <QPointer>

namespace {

const QString SelectorErrorText = QStringLiteral("Coin Selector error");
// A report's second half follows its first at once (2.6 ms at 19200 baud), the next coin's
// report only long after: bytes this soon after a report show that the read was out of step.
constexpr int ReportTailHundredths = 1;

} // namespace

CoinReportSession::CoinReportSession(Protocol protocol, SelectorLink& link, QObject* parent)
    : QObject(parent), m_protocol(std::move(protocol)), m_link(link)
{
    connect(&m_link, &SelectorLink::portClosing, this, &CoinReportSession::onPortClosing);
}

CoinReportSession::~CoinReportSession()
{
    if (m_state == State::Idle)
        return;
    m_link.abandonWait();
    m_link.sendFrame(LinkCommands::stopMeasuring());
    m_link.endOperationAfterPause(static_cast<float>(m_link.clock().now()), {});
}

bool CoinReportSession::start()
{
    if (m_state != State::Idle || !m_link.beginOperation())
        return false;
    m_state = State::Handshaking;
    m_budget = RetryBudget();
    m_cancelRequested = false;
    m_reports.clear();
    emit statusChanged(m_protocol.startText, StatusColour::Blue);
    emit progressChanged(0, 0);
    m_link.setReceiveThreshold(SelectorLink::ReplyThreshold);
    m_link.flushInput();
    sendStart();
    return true;
}

void CoinReportSession::cancel()
{
    if (m_state != State::Handshaking && m_state != State::Collecting)
        return;
    m_cancelRequested = true;
    // A handshake runs to its end; a coin wait ends now.
    if (m_state == State::Collecting)
        m_link.cancelWait();
}

void CoinReportSession::sendStart()
{
    // The reply repeats the start frame: behind an adapter with local echo it comes twice.
    m_link.startAttempt(
        m_protocol.startFrame,
        [this](const SelectorLink::AttemptResult& result) { onStartReply(result); },
        [lead = m_protocol.startReplyLead](const QByteArray& reply) {
            return LinkCommands::isValidStartReply(reply, lead);
        });
}

void CoinReportSession::onStartReply(const SelectorLink::AttemptResult& result)
{
    switch (result.outcome) {
    case SelectorLink::Outcome::PortFailed:
    case SelectorLink::Outcome::Cancelled:
        end(Ending::SelectorLost);
        return;
    case SelectorLink::Outcome::TimedOut:
        emit statusChanged(QStringLiteral("communication time out !"), StatusColour::Red);
        onFailedStart(result.outcome);
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    if (LinkCommands::isValidStartReply(result.reply, m_protocol.startReplyLead))
        beginCollecting(result.reply.mid(LinkFrame::Size));
    else
        onFailedStart(result.outcome);
}

void CoinReportSession::onFailedStart(SelectorLink::Outcome failure)
{
    if (m_budget.recordFailure())
        end(Ending::NoStartReply);
    else
        // The repeat's reply, and the coin reports after it, then start on a frame boundary.
        m_link.prepareRepeat(failure, [this] { sendStart(); });
}

void CoinReportSession::beginCollecting(const QByteArray& rest)
{
    m_state = State::Collecting;
    // One receive event per complete coin report.
    m_link.setReceiveThreshold(SelectorLink::ReportThreshold);
    m_link.keepWaiting(rest);
    auto firstCoin = [this] {
        showProgress();
        awaitCoin();
    };
    if (m_budget.failures() == 0) {
        firstCoin();
        return;
    }
    // An earlier attempt's answer may still be on its way: it must not become the first half
    // of a report.
    m_link.pauseThen(static_cast<float>(m_link.clock().now()), [this, firstCoin] {
        ignoreEarlyCoins(m_link.readReply());
        m_link.discardInput();
        firstCoin();
    });
}

void CoinReportSession::ignoreEarlyCoins(QByteArray dropped)
{
    if (!dropped.isEmpty())
        LinkTrace::bytes("dropped", dropped);
    // Answers to earlier starts are no coins; any other bytes are, one for each report's
    // length they begin.
    while (!dropped.isEmpty()) {
        if (LinkCommands::isValidStartReply(dropped, m_protocol.startReplyLead)) {
            dropped.remove(0, LinkFrame::Size);
            continue;
        }
        emit reportIgnored(IgnoredReason::TooEarly);
        dropped.remove(0, CoinReport::Size);
    }
}

void CoinReportSession::showProgress()
{
    const auto accepted = static_cast<int>(m_reports.size());
    emit progressChanged(accepted, accepted + 1);
}

void CoinReportSession::awaitCoin()
{
    // Cancel may have come during the handshake, or from a slot of the signals just emitted.
    if (m_cancelRequested) {
        end(Ending::Cancelled);
        return;
    }
    // The port may have failed while the line was resynchronised, when no wait was there to
    // be told; a wait on a closed port would never end.
    if (!m_link.isPortOpen()) {
        end(Ending::SelectorLost);
        return;
    }
    m_link.waitForData([this](const SelectorLink::AttemptResult& result) { onCoin(result); });
}

void CoinReportSession::onCoin(const SelectorLink::AttemptResult& result)
{
    switch (result.outcome) {
    case SelectorLink::Outcome::Cancelled:
        end(Ending::Cancelled);
        return;
    case SelectorLink::Outcome::PortFailed:
    case SelectorLink::Outcome::TimedOut: // a coin wait has no deadline
        end(Ending::SelectorLost);
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    const auto report = CoinReport::fromBytes(result.reply);
    if (report && report->isSpeedStrange())
        emit statusChanged(report->speedWarningText(), StatusColour::Red);
    // More than ten bytes in one read are a report and something else.
    if (!report || !report->hasValidChecksums() || result.reply.size() > CoinReport::Size) {
        resynchronise(report && !report->hasValidChecksums() ? IgnoredReason::BadChecksum
                                                             : IgnoredReason::OutOfStep);
        return;
    }
    m_link.setReceiveThreshold(1);
    m_link.waitForData(
        [this, report = *report](const SelectorLink::AttemptResult& after) {
            onQuietAfter(report, after);
        },
        ReportTailHundredths);
}

void CoinReportSession::onQuietAfter(const CoinReport& report,
                                     const SelectorLink::AttemptResult& result)
{
    m_link.setReceiveThreshold(SelectorLink::ReportThreshold);
    switch (result.outcome) {
    case SelectorLink::Outcome::Cancelled:
        end(Ending::Cancelled);
        return;
    case SelectorLink::Outcome::PortFailed:
        end(Ending::SelectorLost);
        return;
    case SelectorLink::Outcome::Replied:
        resynchronise(IgnoredReason::OutOfStep);
        return;
    case SelectorLink::Outcome::TimedOut:
        accept(report);
        return;
    }
}

void CoinReportSession::accept(const CoinReport& report)
{
    if (!m_protocol.accepts(report)) {
        emit reportIgnored(IgnoredReason::OutOfRange);
        awaitCoin();
        return;
    }
    m_reports.append(report);
    emit reportAccepted(report);
    if (m_reports.size() < m_protocol.sampleCount) {
        showProgress();
        awaitCoin();
        return;
    }
    end(Ending::Collected);
}

void CoinReportSession::resynchronise(IgnoredReason reason)
{
    emit reportIgnored(reason);
    // No clean report: noise, or a read out of step. Let the rest in, drop it all and wait for
    // the next coin, whose report then starts the next read.
    m_link.prepareRepeat(SelectorLink::Outcome::Replied, [this] { awaitCoin(); });
}

void CoinReportSession::onPortClosing()
{
    // The selector may be measuring: the run ends now, so that its owner's stop frame goes
    // out while the port is still open.
    if (m_state != State::Handshaking && m_state != State::Collecting)
        return;
    m_link.abandonWait();
    end(Ending::SelectorLost);
}

void CoinReportSession::end(Ending ending)
{
    m_state = State::Ended;
    if (ending == Ending::Cancelled)
        emit statusChanged(CancelledText, StatusColour::Red);
    else if (ending != Ending::Collected)
        emit statusChanged(SelectorErrorText, StatusColour::Red);
    emit ended(ending);
}

void CoinReportSession::stop(std::function<void()> afterPause)
{
    Q_ASSERT(m_state == State::Ended);
    m_state = State::Idle;
    m_link.sendFrame(LinkCommands::stopMeasuring());
    QPointer<CoinReportSession> self(this);
    m_link.endOperationAfterPause(static_cast<float>(m_link.clock().now()),
                                  [self, afterPause = std::move(afterPause)] {
                                      if (self && afterPause)
                                          afterPause();
                                  });
}

void CoinReportSession::release()
{
    Q_ASSERT(m_state == State::Ended);
    m_state = State::Idle;
    m_link.endOperation();
}
