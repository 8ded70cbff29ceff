// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AnswerLateness.h"
#include "LinkFrame.h"
#include "PortIdentity.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class LinkClock;
class LinkPort;
class LinkTimer;

// The one link to the selector: the port, the receive threshold and flag, the bytes waiting,
// and one exchange or report wait at a time. Everything is event driven: a reply is noticed
// when the waiting bytes reach the threshold, a time-out is a deadline on the clock.
class SelectorLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReplyTimeoutHundredths = 20;
    static constexpr int SettlingPauseHundredths = 30;
    static constexpr int ReplyThreshold = 5;
    static constexpr int ReportThreshold = 10;
    // Before the repeat of a request whose reply failed its checks, the rest of a broken frame
    // is let in for this long and then dropped: 20 ms, several times the 2.6 ms a five-byte
    // frame takes at 19200 baud.
    static constexpr int ResyncGapHundredths = 2;

    enum class Outcome
    {
        Replied,
        TimedOut,
        PortFailed,
        Cancelled
    };
    struct AttemptResult
    {
        Outcome outcome;
        QByteArray reply; // every byte that was waiting when the reply was taken
        float t0;         // start time of the attempt, hundredths since midnight
    };
    using AttemptCallback = std::function<void(const AttemptResult&)>;

    SelectorLink(std::unique_ptr<LinkPort> port, LinkClock& clock, QObject* parent = nullptr);
    ~SelectorLink() override;

    // The device is remembered even when it will not open: an operation that begins while its
    // port is closed (the port failed, or never opened) opens it again first, but only while
    // the name leads to the device it led to here (see PortIdentity).
    bool openPort(const QString& deviceName);
    // Why the last open failed, in words; empty when the port cannot tell.
    QString openFailure() const;
    // Closes the port for good: no operation opens it again. Says portClosing first when the
    // port is open.
    void closePort();
    bool isPortOpen() const;

    void setReceiveThreshold(int bytes);
    int receiveThreshold() const { return m_threshold; }
    // Monitors tell a fragment by the quiet after it, so they need each byte as it comes: until
    // the threshold is set again, the port wakes the program for every byte.
    void wakeOnEveryByte();
    bool receiveFlag() const { return m_receiveFlag; }
    // Discards everything waiting, the port's own input queue included, and clears the flag.
    void flushInput();
    // As flushInput; returns how many bytes were found waiting (those the operating system
    // still held are dropped without being counted). Transfers call it before the first
    // attempt for each new address, so no answer that came before a request is taken for it.
    qsizetype discardInput();
    // Clears the flag and takes every byte waiting.
    QByteArray readReply();
    // Puts bytes that came in one read with a reply back in front of those waiting, for the
    // next wait (a coin report read together with the start reply). Short of the threshold,
    // the port wakes for every byte until the threshold is set again, so that the rest of what
    // they begin is not held back by the driver.
    void keepWaiting(const QByteArray& bytes);
    // Sends a frame without waiting for anything (end of block, stop, service queries).
    void sendFrame(const LinkFrame& frame);

    // One attempt of an exchange: sends the request and reports the reply, or a time-out after
    // 0.2 s. A reply already waiting (one that came late for the previous attempt) is taken at
    // once. Only one attempt or report wait runs at a time.
    void startAttempt(const LinkFrame& request, AttemptCallback done);
    // Waits until the threshold is reached (coin reports); cancellable. With a deadline the
    // wait ends as TimedOut once that many hundredths have passed with too few bytes: the line
    // stayed quiet.
    void waitForData(AttemptCallback done, std::optional<int> deadlineHundredths = std::nullopt);
    void cancelWait();
    // Drops the running wait (and a running prepareRepeat) without calling back (its owner is
    // going away).
    void abandonWait();
    // Readies the line for the repeat of a request whose attempt failed, then calls then (at
    // once after a time-out, from the event loop after a failed check). After a time-out a
    // complete late reply stays waiting for the repeat to take, but a fragment of fewer bytes
    // than the threshold (the remains of a short answer) is dropped. After a reply that failed
    // its checks the rest of the broken frame is let in for ResyncGapHundredths and everything
    // waiting is dropped. Either way the repeat's reply starts on a frame boundary.
    void prepareRepeat(Outcome failure, std::function<void()> then);
    bool isWaiting() const { return static_cast<bool>(m_pendingCallback); }

    // One link operation at a time: transfers, teaching and calibration hold the link from
    // their start until their settling pause has ended. A closed port is opened again first,
    // unless it was lost by the operation that this one continues (the blocks of a
    // programming): that operation ends as a failure, as it began.
    bool beginOperation();
    bool isBusy() const { return m_busy; }
    // Keeps the link quiet until SettlingPauseHundredths have passed since reference, then
    // releases it and calls then.
    void endOperationAfterPause(float reference, std::function<void()> then);
    // The same quiet time inside an operation: the link stays held and then is called (from
    // the event loop) when the pause is over. A block that is read back pauses so after its
    // end frame.
    void pauseThen(float reference, std::function<void()> then);
    void endOperation();

    LinkClock& clock() const { return m_clock; }
    // Fed by every attempt whose reply came while it waited.
    AnswerLateness& answerLateness() { return m_answerLateness; }

signals:
    void busyChanged(bool busy);
    // The open port is about to be closed on purpose (exit, another port): the last moment to
    // send on it, so that the selector is not left in a mode of its own.
    void portClosing();
    // The open port broke; it has been closed.
    void portFailed(const QString& reason);
    // An operation began on a closed port and opened it again.
    void reopened();
    // An operation began on a closed port that would not open again, or whose name may now
    // lead to another device; it runs on and fails.
    void reopenFailed(const QString& reason);
    // Bytes arrived while nobody waited for a reply (monitor windows listen here).
    void dataWaiting();

private:
    void onReadyRead();
    void onPortFailed(const QString& reason);
    void onAttemptDeadline();
    void complete(Outcome outcome);
    void completeFromEventLoop();
    void setBusy(bool busy);
    bool openDevice();
    void reopenIfClosed();

    std::unique_ptr<LinkPort> m_port;
    LinkClock& m_clock;
    std::unique_ptr<LinkTimer> m_replyTimer;
    std::unique_ptr<LinkTimer> m_pauseTimer;
    std::unique_ptr<LinkTimer> m_resyncTimer;
    QByteArray m_waiting;
    int m_threshold = ReplyThreshold;
    bool m_receiveFlag = false;
    bool m_busy = false;
    QString m_device;                       // what the port is to be, while it is to be open
    std::optional<PortIdentity> m_identity; // what m_device led to when it last opened
    bool m_lostInOperation = false;
    bool m_attemptHasDeadline = false;
    int m_deadlineHundredths = ReplyTimeoutHundredths;
    float m_t0 = 0.0F;
    // When the running attempt's request was written, full precision; none when its reply
    // was already waiting (a late one) or for a report wait.
    std::optional<double> m_requestWrittenAt;
    AnswerLateness m_answerLateness;
    AttemptCallback m_pendingCallback;
};
