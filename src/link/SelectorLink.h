#pragma once

#include "LinkFrame.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

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

    bool openPort(const QString& deviceName);
    void closePort();
    bool isPortOpen() const;

    void setReceiveThreshold(int bytes);
    int receiveThreshold() const { return m_threshold; }
    bool receiveFlag() const { return m_receiveFlag; }
    // Discards everything waiting and clears the flag.
    void flushInput();
    // Clears the flag and takes every byte waiting.
    QByteArray readReply();
    // Sends a frame without waiting for anything (end of block, stop, service queries).
    void sendFrame(const LinkFrame& frame);

    // One attempt of an exchange: sends the request and reports the reply, or a time-out after
    // 0.2 s. A reply already waiting (one that came late for the previous attempt) is taken at
    // once. Only one attempt or report wait runs at a time.
    void startAttempt(const LinkFrame& request, AttemptCallback done);
    // Waits with no time-out until the threshold is reached (coin reports); cancellable.
    void waitForData(AttemptCallback done);
    void cancelWait();
    // Drops the running wait without calling back (its owner is going away).
    void abandonWait();
    bool isWaiting() const { return static_cast<bool>(m_pendingCallback); }

    // One link operation at a time: transfers, teaching and calibration hold the link from
    // their start until their settling pause has ended.
    bool beginOperation();
    bool isBusy() const { return m_busy; }
    // Keeps the link quiet until SettlingPauseHundredths have passed since reference, then
    // releases it and calls then.
    void endOperationAfterPause(float reference, std::function<void()> then);
    void endOperation();

    LinkClock& clock() const { return m_clock; }

signals:
    void busyChanged(bool busy);
    // The open port broke; it has been closed.
    void portFailed();
    // The threshold was reached while nobody waited for a reply (monitor windows listen here).
    void dataWaiting();

private:
    void onReadyRead();
    void onPortFailed();
    void onAttemptDeadline();
    void complete(Outcome outcome);
    void completeFromEventLoop();
    void setBusy(bool busy);

    std::unique_ptr<LinkPort> m_port;
    LinkClock& m_clock;
    std::unique_ptr<LinkTimer> m_replyTimer;
    std::unique_ptr<LinkTimer> m_pauseTimer;
    QByteArray m_waiting;
    int m_threshold = ReplyThreshold;
    bool m_receiveFlag = false;
    bool m_busy = false;
    bool m_attemptHasDeadline = false;
    float m_t0 = 0.0F;
    AttemptCallback m_pendingCallback;
};
