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
        // The reply taken is a copy of the request, on a line not known to echo: a selector's
        // answer that happens to equal its request, or a line that only echoes.
        bool requestCopy = false;
    };
    using AttemptCallback = std::function<void(const AttemptResult&)>;
    // Whether bytes are a reply the running attempt can take (its own checks).
    using ReplyCheck = std::function<bool(const QByteArray&)>;
    // What a copy of the request with nothing after it is taken for, on a line not known to
    // echo: the reply once the line has stayed quiet after it for EchoQuietHundredths (or
    // the reply time is over), or the reply at once where the selector always answers with a
    // copy (writes: a write through an echoing line then finds its reply come late, as stale
    // bytes, and its block is read back).
    enum class LoneCopy
    {
        AfterQuiet,
        AtOnce
    };
    // Behind an echoing adapter the selector's reply follows the echo within its own answer
    // time and the adapter's latency timer (16 ms at most by default): 50 ms of quiet after a
    // copy of the request mean nothing else is coming.
    static constexpr int EchoQuietHundredths = 5;

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
    //
    // An adapter with local echo gives the request back ahead of the reply. When the bytes
    // after a request begin with the request itself, what follows decides, never the bytes'
    // values alone: a reply (isReply) after it makes the copy an echo, which is dropped; on a
    // line known to echo, any five bytes after it do. Anything else after it (coin reports
    // after a start reply) makes the copy the reply. A copy alone is taken as loneCopy says on
    // a line not known to echo; on one that echoes it is waited on, and is no reply. A copy
    // taken as the reply is marked requestCopy.
    //
    // The line is known to echo, until the port opens again, once a copy came followed by a
    // reply that is not a copy too: a selector does not answer one request twice, whereas a
    // late answer and the answer to a repeat are alike when both are copies. Where the copy
    // alone is taken at once (the selector answers with a copy), a copy and another reply are
    // the answer and a stray one: the copy is the reply, and the line is not taken to echo.
    //
    // An attempt that timed out may still be answered, after its repeat has gone out: its
    // answer and the repeat's then come one after the other, and the second is early for the
    // next attempt. So while an operation owes such answers, a complete frame the running
    // attempt's check refuses is dropped as one of them and the attempt waits on, within its
    // time.
    void startAttempt(const LinkFrame& request, AttemptCallback done, ReplyCheck isReply = {},
                      LoneCopy loneCopy = LoneCopy::AfterQuiet);
    bool lineEchoes() const { return m_lineEchoes; }
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
    // Whether the bytes waiting are a copy of the running attempt's request with too few after
    // it to tell an echo from a reply.
    bool awaitsMoreAfterRequest() const;
    // Whether the bytes waiting are the request's copy alone, to be taken as the reply now.
    bool takesLoneCopy() const;
    // Hundredths until the line has been quiet long enough after the copy of the request.
    int quietLeft(double now) const;
    // While answers of attempts that timed out are owed, drops from the front of the bytes
    // waiting each complete frame the running attempt cannot take: such an answer, come late.
    void dropLateAnswers();
    // Drops the running attempt's echo from the start of reply (see startAttempt); true when
    // the reply left is the request's copy.
    bool dropEcho(QByteArray& reply);
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
    // The running attempt's request, its check, and whether its copy alone is taken.
    std::optional<QByteArray> m_request;
    ReplyCheck m_isReply;
    LoneCopy m_loneCopy = LoneCopy::AfterQuiet;
    std::optional<double> m_copyCameAt; // when the copy alone was complete
    bool m_lineEchoes = false;
    int m_answersOwed = 0; // attempts in this operation that timed out, less late answers dropped
    AnswerLateness m_answerLateness;
    AttemptCallback m_pendingCallback;
};
