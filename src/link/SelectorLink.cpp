// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectorLink.h"

#include "LinkClock.h"
#include "LinkPort.h"
#include "LinkTrace.h"
#include "PortFailure.h"

#include <QMetaObject>

#include <cmath>
#include <utility>

namespace {
// Bytes nobody reads (a chattering line with no monitor open) must not grow without bound.
constexpr qsizetype MaxWaitingBytes = 4096;
} // namespace

SelectorLink::SelectorLink(std::unique_ptr<LinkPort> port, LinkClock& clock, QObject* parent)
    : QObject(parent), m_port(std::move(port)), m_clock(clock), m_replyTimer(clock.createTimer()),
      m_pauseTimer(clock.createTimer()), m_resyncTimer(clock.createTimer())
{
    m_port->setParent(nullptr);
    connect(m_port.get(), &LinkPort::readyRead, this, &SelectorLink::onReadyRead);
    connect(m_port.get(), &LinkPort::failed, this, &SelectorLink::onPortFailed);
    m_port->setWakeThreshold(m_threshold);
}

SelectorLink::~SelectorLink()
{
    m_replyTimer->stop();
    m_pauseTimer->stop();
    m_resyncTimer->stop();
    m_port->close();
}

bool SelectorLink::openPort(const QString& deviceName)
{
    closePort();
    m_device = deviceName;
    m_identity.reset();
    return openDevice();
}

bool SelectorLink::openDevice()
{
    const bool opened = m_port->open(m_device);
    const QString failure = m_port->openFailure();
    m_lineEchoes = false;
    m_answersOwed = 0;
    LinkTrace::event(opened ? QStringLiteral("opened ") + m_device
                            : QStringLiteral("cannot open ") +
                                  (failure.isEmpty() ? m_device : failure));
    if (opened)
        m_identity = m_port->identity(m_device);
    return opened;
}

QString SelectorLink::openFailure() const
{
    return m_port->openFailure();
}

void SelectorLink::closePort()
{
    if (m_port->isOpen()) {
        emit portClosing();
        LinkTrace::event(QStringLiteral("closed"));
    }
    m_port->close();
    m_device.clear();
}

void SelectorLink::reopenIfClosed()
{
    if (m_port->isOpen() || m_device.isEmpty() || m_lostInOperation)
        return;
    if (!PortIdentity::mayReopen(m_identity, m_port->identity(m_device))) {
        const QString reason = PortFailure::anotherDevice(m_device);
        LinkTrace::event(QStringLiteral("not opened again: ") + reason);
        emit reopenFailed(reason);
        return;
    }
    if (openDevice())
        emit reopened();
    else
        emit reopenFailed(m_port->openFailure());
}

bool SelectorLink::isPortOpen() const
{
    return m_port->isOpen();
}

void SelectorLink::setReceiveThreshold(int bytes)
{
    m_threshold = qMax(1, bytes);
    m_port->setWakeThreshold(m_threshold);
}

void SelectorLink::wakeOnEveryByte()
{
    m_port->setWakeThreshold(1);
}

void SelectorLink::flushInput()
{
    discardInput();
}

qsizetype SelectorLink::discardInput()
{
    const QByteArray dropped = m_waiting + m_port->readAll();
    m_port->clearInput();
    m_waiting.clear();
    m_receiveFlag = false;
    if (!dropped.isEmpty())
        LinkTrace::bytes("dropped", dropped);
    return dropped.size();
}

QByteArray SelectorLink::readReply()
{
    m_receiveFlag = false;
    m_waiting += m_port->readAll();
    QByteArray reply;
    reply.swap(m_waiting);
    return reply;
}

void SelectorLink::keepWaiting(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    m_waiting.prepend(bytes);
    if (m_waiting.size() >= m_threshold)
        m_receiveFlag = true;
    else
        wakeOnEveryByte();
}

void SelectorLink::sendFrame(const LinkFrame& frame)
{
    const QByteArray bytes = frame.toByteArray();
    LinkTrace::bytes("sent", bytes);
    m_port->write(bytes);
}

void SelectorLink::startAttempt(const LinkFrame& request, AttemptCallback done, ReplyCheck isReply,
                                LoneCopy loneCopy)
{
    Q_ASSERT(!m_pendingCallback);
    m_t0 = static_cast<float>(m_clock.now());
    m_pendingCallback = std::move(done);
    m_attemptHasDeadline = true;
    m_deadlineHundredths = ReplyTimeoutHundredths;
    const bool lateReplyWaiting = m_receiveFlag;
    m_replyTimer->start(ReplyTimeoutHundredths, [this] { onAttemptDeadline(); });
    if (!lateReplyWaiting) {
        // Known before it goes out: a port may hand its copy back from inside the write.
        m_request = request.toByteArray();
        m_isReply = std::move(isReply);
        m_loneCopy = loneCopy;
    }
    sendFrame(request);
    if (lateReplyWaiting)
        completeFromEventLoop();
    else
        m_requestWrittenAt = m_clock.now();
}

void SelectorLink::waitForData(AttemptCallback done, std::optional<int> deadlineHundredths)
{
    Q_ASSERT(!m_pendingCallback);
    m_t0 = static_cast<float>(m_clock.now());
    m_pendingCallback = std::move(done);
    m_requestWrittenAt.reset();
    m_attemptHasDeadline = deadlineHundredths.has_value();
    if (deadlineHundredths) {
        m_deadlineHundredths = *deadlineHundredths;
        m_replyTimer->start(m_deadlineHundredths, [this] { onAttemptDeadline(); });
    }
    if (m_receiveFlag)
        completeFromEventLoop();
}

void SelectorLink::completeFromEventLoop()
{
    // Answer from the event loop, never from inside the caller's own call.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_pendingCallback && m_receiveFlag)
                complete(Outcome::Replied);
        },
        Qt::QueuedConnection);
}

void SelectorLink::cancelWait()
{
    if (m_pendingCallback)
        complete(Outcome::Cancelled);
}

void SelectorLink::abandonWait()
{
    m_replyTimer->stop();
    m_resyncTimer->stop();
    m_pendingCallback = nullptr;
    m_requestWrittenAt.reset();
    m_request.reset();
    m_copyCameAt.reset();
}

void SelectorLink::prepareRepeat(Outcome failure, std::function<void()> then)
{
    if (failure != Outcome::Replied) {
        LinkTrace::event(QStringLiteral("retry after no reply"));
        // The remains of a short answer (some perhaps still held by the port) are no answer to
        // the repeat; a complete late reply is kept for it.
        if (!m_receiveFlag)
            discardInput();
        then();
        return;
    }
    LinkTrace::event(QStringLiteral("retry after a rejected reply"));
    m_resyncTimer->start(ResyncGapHundredths, [this, then = std::move(then)] {
        discardInput();
        then();
    });
}

void SelectorLink::onAttemptDeadline()
{
    if (!m_pendingCallback || !m_attemptHasDeadline)
        return;
    if (m_copyCameAt) {
        m_waiting += m_port->readAll();
        if (takesLoneCopy()) {
            complete(Outcome::Replied);
            return;
        }
    }
    // The timer only wakes us up; the clock decides, by the same rule across midnight.
    const double now = m_clock.now();
    const int elapsed = LinkClock::elapsedHundredths(m_t0, now);
    if (elapsed >= m_deadlineHundredths) {
        LinkTrace::event(QStringLiteral("time-out"));
        complete(Outcome::TimedOut);
        return;
    }
    int next = m_deadlineHundredths - elapsed;
    if (m_copyCameAt && !m_lineEchoes && quietLeft(now) > 0)
        next = qMin(next, quietLeft(now));
    m_replyTimer->start(next, [this] { onAttemptDeadline(); });
}

bool SelectorLink::awaitsMoreAfterRequest() const
{
    return m_request && m_waiting.startsWith(*m_request) && m_waiting.size() < 2 * LinkFrame::Size;
}

bool SelectorLink::takesLoneCopy() const
{
    if (!m_request || m_lineEchoes || m_waiting != *m_request)
        return false;
    if (m_loneCopy == LoneCopy::AtOnce)
        return true;
    // The line stayed quiet after the copy, or the reply time is over: it is the reply.
    const double now = m_clock.now();
    return m_copyCameAt &&
           (quietLeft(now) <= 0 || LinkClock::elapsedHundredths(m_t0, now) >= m_deadlineHundredths);
}

int SelectorLink::quietLeft(double now) const
{
    const double leftMs = EchoQuietHundredths * 10.0 - LinkClock::elapsedMs(*m_copyCameAt, now);
    return static_cast<int>(std::ceil(leftMs / 10));
}

void SelectorLink::onReadyRead()
{
    m_waiting += m_port->readAll();
    if (m_waiting.size() > MaxWaitingBytes)
        m_waiting.remove(0, m_waiting.size() - MaxWaitingBytes);
    if (m_pendingCallback && !m_receiveFlag)
        dropLateAnswers();
    if (m_waiting.size() >= m_threshold && !m_receiveFlag) {
        if (m_pendingCallback && awaitsMoreAfterRequest()) {
            if (!m_copyCameAt)
                m_copyCameAt = m_clock.now();
            if (takesLoneCopy())
                complete(Outcome::Replied);
            else
                onAttemptDeadline(); // waits on for the quiet after the copy
            return;
        }
        m_receiveFlag = true;
        if (m_pendingCallback) {
            complete(Outcome::Replied);
            return;
        }
    }
    if (!m_pendingCallback)
        emit dataWaiting();
}

void SelectorLink::onPortFailed(const QString& reason)
{
    LinkTrace::event(QStringLiteral("port failed: ") + reason);
    m_lostInOperation = m_busy;
    m_waiting.clear();
    m_receiveFlag = false;
    if (m_pendingCallback)
        complete(Outcome::PortFailed);
    emit portFailed(reason);
}

void SelectorLink::dropLateAnswers()
{
    while (m_answersOwed > 0 && m_request && m_isReply && m_waiting.size() >= LinkFrame::Size) {
        const QByteArray frame = m_waiting.left(LinkFrame::Size);
        if (frame == *m_request || m_isReply(frame))
            return;
        LinkTrace::bytes("late answer dropped", frame);
        m_waiting.remove(0, LinkFrame::Size);
        --m_answersOwed;
    }
}

bool SelectorLink::dropEcho(QByteArray& reply)
{
    if (!m_request || !reply.startsWith(*m_request))
        return false;
    const QByteArray after = reply.mid(LinkFrame::Size);
    if (after.size() < LinkFrame::Size || (!m_lineEchoes && !(m_isReply && m_isReply(after))))
        return true;
    // Where the selector answers with a copy, a copy followed by another reply is its answer
    // and a stray one (a late answer to an earlier request): never an echo.
    if (!m_lineEchoes && m_loneCopy == LoneCopy::AtOnce && !after.startsWith(*m_request))
        return true;
    LinkTrace::bytes("echo", reply.left(LinkFrame::Size));
    if (!after.startsWith(*m_request))
        m_lineEchoes = true;
    reply = after;
    return false;
}

void SelectorLink::complete(Outcome outcome)
{
    m_replyTimer->stop();
    AttemptResult result{outcome, {}, m_t0};
    if (outcome == Outcome::Replied) {
        result.reply = readReply();
        LinkTrace::bytes("received", result.reply);
        result.requestCopy = dropEcho(result.reply);
        // A copy taken as the reply came when it was complete, not when the quiet ended.
        if (m_requestWrittenAt)
            m_answerLateness.record(*m_requestWrittenAt, result.requestCopy && m_copyCameAt
                                                             ? *m_copyCameAt
                                                             : m_clock.now());
    } else if (outcome == Outcome::Cancelled) {
        LinkTrace::event(QStringLiteral("cancelled"));
    } else if (outcome == Outcome::TimedOut && m_requestWrittenAt) {
        ++m_answersOwed; // its answer may still come, after the repeat has gone out
    }
    m_requestWrittenAt.reset();
    m_request.reset();
    m_isReply = nullptr;
    m_copyCameAt.reset();
    AttemptCallback callback;
    callback.swap(m_pendingCallback);
    callback(result);
}

bool SelectorLink::beginOperation()
{
    if (m_busy)
        return false;
    setBusy(true);
    // The settling pause before it let the answers still owed come; those that did not are
    // lost, and a frame that is not the next reply counts as such again.
    m_answersOwed = 0;
    reopenIfClosed();
    return true;
}

void SelectorLink::endOperationAfterPause(float reference, std::function<void()> then)
{
    pauseThen(reference, [this, then = std::move(then)] {
        endOperation();
        if (then)
            then();
    });
}

void SelectorLink::pauseThen(float reference, std::function<void()> then)
{
    const int remaining =
        SettlingPauseHundredths - LinkClock::elapsedHundredths(reference, m_clock.now());
    LinkTrace::event(QStringLiteral("pause %1 ms").arg(qMax(0, remaining) * 10));
    if (remaining <= 0)
        QMetaObject::invokeMethod(this, std::move(then), Qt::QueuedConnection);
    else
        m_pauseTimer->start(remaining, std::move(then));
}

void SelectorLink::endOperation()
{
    setBusy(false);
    // What is chained on this end (the next block) starts before control returns to the
    // event loop; once the link is still free there, the lost port may be opened again.
    if (m_lostInOperation)
        QMetaObject::invokeMethod(
            this, [this] { m_lostInOperation = m_lostInOperation && m_busy; },
            Qt::QueuedConnection);
}

void SelectorLink::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
}
