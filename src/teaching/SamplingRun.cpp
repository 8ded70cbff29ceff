#include "SamplingRun.h"

#include "CoinReport.h"
#include "LinkClock.h"
#include "LinkCommands.h"

#include <QPointer>

namespace {

const QString SelectorErrorText = QStringLiteral("Coin Selector error");
const QString CancelledText = QStringLiteral("User terminate Insert !");

} // namespace

SamplingRun::SamplingRun(int channel, bool keepTolerance, SelectorLink& link, SelectorImage& image,
                         QObject* parent)
    : QObject(parent), m_channel(channel), m_keepTolerance(keepTolerance), m_link(link),
      m_image(image)
{
}

SamplingRun::~SamplingRun()
{
    if (m_state == State::Idle)
        return;
    m_link.abandonWait();
    stopTeaching({});
}

bool SamplingRun::start()
{
    if (m_state != State::Idle || !m_link.beginOperation())
        return false;
    m_state = State::Handshaking;
    m_budget = RetryBudget();
    m_cancelRequested = false;
    m_accepted = 0;
    emit statusChanged(QStringLiteral("Insert %1 Coins !!").arg(SampleCount), StatusColour::Blue);
    emit progressChanged(0, 0);
    m_link.setReceiveThreshold(SelectorLink::ReplyThreshold);
    m_link.flushInput();
    sendStart();
    return true;
}

void SamplingRun::cancel()
{
    if (m_state == State::Idle)
        return;
    m_cancelRequested = true;
    // A handshake runs to its end; a coin wait ends now.
    if (m_state == State::Collecting)
        m_link.cancelWait();
}

void SamplingRun::sendStart()
{
    m_link.startAttempt(
        LinkCommands::teachStart(),
        [this](const SelectorLink::AttemptResult& result) { onStartReply(result); });
}

void SamplingRun::onStartReply(const SelectorLink::AttemptResult& result)
{
    switch (result.outcome) {
    case SelectorLink::Outcome::PortFailed:
    case SelectorLink::Outcome::Cancelled:
        endWith(SelectorErrorText, Outcome::SelectorError);
        return;
    case SelectorLink::Outcome::TimedOut:
        emit statusChanged(QStringLiteral("communication time out !"), StatusColour::Red);
        onFailedStart();
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    if (LinkCommands::isValidStartReply(result.reply, LinkCommands::TeachStartLead))
        beginCollecting();
    else
        onFailedStart();
}

void SamplingRun::onFailedStart()
{
    if (m_budget.recordFailure())
        endWith(SelectorErrorText, Outcome::SelectorError);
    else
        sendStart();
}

void SamplingRun::beginCollecting()
{
    m_state = State::Collecting;
    // One receive event per complete coin report.
    m_link.setReceiveThreshold(SelectorLink::ReportThreshold);
    showProgress();
    awaitCoin();
}

void SamplingRun::showProgress()
{
    emit progressChanged(m_accepted, m_accepted + 1);
}

void SamplingRun::awaitCoin()
{
    // Cancel may have come during the handshake, or from a slot of the signals just emitted.
    if (m_cancelRequested) {
        endWith(CancelledText, Outcome::Cancelled);
        return;
    }
    m_link.waitForData([this](const SelectorLink::AttemptResult& result) { onCoin(result); });
}

void SamplingRun::onCoin(const SelectorLink::AttemptResult& result)
{
    switch (result.outcome) {
    case SelectorLink::Outcome::Cancelled:
        endWith(CancelledText, Outcome::Cancelled);
        return;
    case SelectorLink::Outcome::PortFailed:
    case SelectorLink::Outcome::TimedOut: // a coin wait has no deadline
        endWith(SelectorErrorText, Outcome::SelectorError);
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    // Only the first ten bytes are the report; a shorter read is no report at all.
    const auto report = CoinReport::fromBytes(result.reply);
    if (report && report->isSpeedStrange())
        emit statusChanged(report->speedWarningText(), StatusColour::Red);
    if (!report || !report->isAcceptedForTeaching()) {
        awaitCoin();
        return;
    }
    m_samples[static_cast<std::size_t>(m_accepted)] = {report->ab(), report->x(), report->y(),
                                                       report->dH()};
    if (++m_accepted < SampleCount) {
        showProgress();
        awaitCoin();
        return;
    }
    const SamplingStatistics statistics(m_samples);
    statistics.writeTo(m_image, m_channel, m_keepTolerance);
    emit statusChanged(statistics.summaryText(), StatusColour::Green);
    windUp(Outcome::Sampled);
}

void SamplingRun::endWith(const QString& text, Outcome outcome)
{
    emit statusChanged(text, StatusColour::Red);
    windUp(outcome);
}

void SamplingRun::windUp(Outcome outcome)
{
    m_state = State::Idle;
    QPointer<SamplingRun> self(this);
    stopTeaching([self, outcome] {
        if (self)
            emit self->finished(outcome);
    });
    emit completed(outcome);
}

void SamplingRun::stopTeaching(std::function<void()> afterPause)
{
    m_link.sendFrame(LinkCommands::stopMeasuring());
    m_link.endOperationAfterPause(static_cast<float>(m_link.clock().now()), std::move(afterPause));
}
