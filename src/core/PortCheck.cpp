// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortCheck.h"

#include "LinkClock.h"
#include "LinkCommands.h"
#include "PortFailure.h"

#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

bool isAnswer(const QByteArray& reply)
{
    return LinkCommands::isValidReadReply(reply, PortCheck::CheckedAddress);
}

} // namespace

QString PortCheck::Result::text() const
{
    switch (verdict) {
    case Verdict::Answers:
        return QStringLiteral("The selector answers: round trip %1 ms%2")
            .arg(qRound(roundTripMs))
            .arg(latencyTimerText());
    case Verdict::AnswersSlowly:
        return QStringLiteral("The selector answers, slowly: round trip %1 ms%2")
            .arg(qRound(roundTripMs))
            .arg(latencyTimerText());
    case Verdict::Silent:
        return QStringLiteral("Nothing came back: check that the selector is on this port, the "
                              "cable, and the selector's power");
    case Verdict::Stray:
        return QStringLiteral("Bytes came back that are no answer (the first: %1): another "
                              "device is on this port, or its line runs at another speed; "
                              "connect the selector alone, at 19200 baud")
            .arg(firstStrayByte());
    case Verdict::Echo:
        return QStringLiteral("Only the echo of what is sent comes back: no selector answers "
                              "behind this line (a loopback plug, or an adapter with local echo "
                              "and nothing connected); connect the selector and its power");
    case Verdict::CannotOpen:
        return QStringLiteral("Can not open port: ") + reason;
    case Verdict::Busy:
        return QStringLiteral("Busy: another operation uses the port; check again when it has "
                              "ended");
    case Verdict::Lost:
        return QStringLiteral("The port closed during the check: %1; plug it in and check "
                              "again")
            .arg(PortFailure::lostLine());
    }
    return QString();
}

double PortCheck::lateMs(double roundTripMs)
{
    // To the microsecond, which the clocks keep; finer digits are rounding noise.
    return std::round((roundTripMs - AnswerLateness::WireMs) * 1000) / 1000;
}

QString PortCheck::Result::latencyTimerText() const
{
    return latencyTimerMs
               ? QStringLiteral(" (the adapter's latency timer: %1 ms)").arg(*latencyTimerMs)
               : QString();
}

QString PortCheck::Result::firstStrayByte() const
{
    return QString::fromLatin1(stray.left(1).toHex().toUpper());
}

QString PortCheck::Result::hint() const
{
    if (verdict != Verdict::AnswersSlowly)
        return QString();
    return AnswerLateness::hint(lateMs());
}

PortCheck::PortCheck(SelectorLink& link, QString device, QObject* parent, QString deviceInfoFolder)
    : QObject(parent), m_link(link), m_device(std::move(device)),
      m_deviceInfoFolder(std::move(deviceInfoFolder))
{
}

PortCheck::~PortCheck()
{
    // A settling pause ends the operation by itself; an exchange is dropped here.
    if (m_phase != Phase::Exchanging)
        return;
    m_link.abandonWait();
    m_link.endOperation();
    if (!m_device.isEmpty())
        m_link.closePort();
}

void PortCheck::start()
{
    if (!m_link.beginOperation()) {
        emit finished({Verdict::Busy, 0, {}, {}});
        return;
    }
    m_phase = Phase::Exchanging;
    if (!m_device.isEmpty())
        m_link.openPort(m_device);
    if (!m_link.isPortOpen()) {
        // The device would not open, or the link's port was lost and would not open again.
        finish({Verdict::CannotOpen, 0, {}, m_link.openFailure()});
        return;
    }
    m_link.setReceiveThreshold(SelectorLink::ReplyThreshold);
    m_link.flushInput();
    attempt();
}

void PortCheck::attempt()
{
    m_sentAt = m_link.clock().now();
    m_link.startAttempt(
        m_request, [this](const SelectorLink::AttemptResult& result) { onReply(result); },
        isAnswer);
}

void PortCheck::onReply(const SelectorLink::AttemptResult& result)
{
    switch (result.outcome) {
    case SelectorLink::Outcome::PortFailed:
        finish({Verdict::Lost, 0, {}, {}});
        return;
    case SelectorLink::Outcome::Cancelled: // only its owner cancels a wait
    case SelectorLink::Outcome::TimedOut:
        // Fewer bytes than an answer may have come: they are no answer either.
        onFailedAttempt(result.outcome, m_link.readReply());
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    const double roundTripMs = LinkClock::elapsedMs(m_sentAt, m_link.clock().now());
    if (result.requestCopy)
        afterRequestCopy();
    else if (isAnswer(result.reply))
        onAnswer(roundTripMs);
    else
        onFailedAttempt(result.outcome, result.reply);
}

void PortCheck::afterRequestCopy()
{
    // The request came back as it went, and nothing after it. A selector answers so only while
    // it holds the value the request names: asked for the same byte with other filler bytes,
    // it answers with the byte it holds, whereas a line that only echoes gives the new request
    // back too. The check goes on with the other request (its answers are no copies), and
    // this attempt is not counted.
    if (m_request == LinkCommands::partialReadRequest(CheckedAddress)) {
        finish({Verdict::Echo, 0, {}, {}});
        return;
    }
    m_request = LinkCommands::partialReadRequest(CheckedAddress);
    attempt();
}

void PortCheck::onAnswer(double roundTripMs)
{
    const double answeredAt = m_sentAt + roundTripMs / 10;
    // In a run an exchange lasts from one answer to the next: an adapter restarts its timer as
    // it passes an answer on, so the next answer waits for the timer in full however quickly
    // its request follows. A read that did not follow an answer at once stands alone.
    if (m_answeredAt && LinkClock::elapsedMs(*m_answeredAt, m_sentAt) < AnswerLateness::SlowMs)
        m_runMs.push_back(LinkClock::elapsedMs(*m_answeredAt, answeredAt));
    else
        m_quickestLoneMs =
            m_quickestLoneMs ? std::min(*m_quickestLoneMs, roundTripMs) : roundTripMs;
    m_answeredAt = answeredAt;
    // The next request goes as the answer arrives, as in a transfer.
    if (++m_answers >= RunReads)
        conclude();
    else
        attempt();
}

void PortCheck::onFailedAttempt(SelectorLink::Outcome outcome, const QByteArray& stray)
{
    if (m_stray.isEmpty())
        m_stray = stray;
    m_answeredAt.reset();
    if (++m_failedAttempts >= Attempts)
        conclude();
    else
        m_link.prepareRepeat(outcome, [this] { attempt(); });
}

void PortCheck::conclude()
{
    Result result;
    if (!m_runMs.empty() || m_quickestLoneMs) {
        result.roundTripMs = m_runMs.empty() ? *m_quickestLoneMs : lowerMedian(m_runMs);
        result.latencyTimerMs = adapterLatencyTimer();
        result.verdict = lateMs(result.roundTripMs) < AnswerLateness::SlowMs
                             ? Verdict::Answers
                             : Verdict::AnswersSlowly;
    } else if (!m_stray.isEmpty()) {
        result.verdict = Verdict::Stray;
        result.stray = m_stray;
    }
    finish(result);
}

double PortCheck::lowerMedian(std::vector<double> values)
{
    // One slow exchange may be the machine's doing, and so may one quick one: the program
    // sees each answer a little late or early, and an exchange runs from one to the next.
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>((values.size() - 1) / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

std::optional<int> PortCheck::adapterLatencyTimer() const
{
    // The system tells it by the kernel's name of the device, not by a link to it.
    const QString location = QFileInfo(m_device).canonicalFilePath();
    if (location.isEmpty())
        return std::nullopt;
    SerialDevice device{location, {}, {}, {}, {}, {}, {}};
    PortChoices::readDeviceInfo(device, m_deviceInfoFolder);
    return device.latencyTimerMs;
}

void PortCheck::finish(const Result& result)
{
    if (m_device.isEmpty()) {
        m_phase = Phase::Settling;
        m_link.endOperationAfterPause(static_cast<float>(m_link.clock().now()),
                                      [self = QPointer<PortCheck>(this), result] {
                                          if (self) {
                                              self->m_phase = Phase::Idle;
                                              emit self->finished(result);
                                          }
                                      });
        return;
    }
    m_phase = Phase::Idle;
    m_link.endOperation();
    m_link.closePort();
    emit finished(result);
}
