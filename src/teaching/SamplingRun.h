#pragma once

#include "RetryBudget.h"
#include "SamplingStatistics.h"
#include "SelectorLink.h"
#include "TransferDisplay.h"

#include <QObject>
#include <QString>

#include <functional>

class SelectorImage;

// Teaches one coin channel: starts teaching on the selector, collects twelve coin reports,
// writes the channel's references into the image and stops teaching again. It holds the link
// as one operation from start() until the settling pause after its stop frame, runs on the
// link's events and reports through signals; it never touches widgets.
class SamplingRun : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Sampled,       // the references are in the image
        Cancelled,     // cancel() while coins were awaited; the image is unchanged
        SelectorError, // no valid start reply in five attempts, or the port failed
    };
    Q_ENUM(Outcome)

    static constexpr int SampleCount = SamplingStatistics::SampleCount;

    // channel 0..11 (coins 1..12). keepTolerance leaves the channel's CGMA as it is (after a
    // coin data file was programmed, the tolerance comes from the file).
    SamplingRun(int channel, bool keepTolerance, SelectorLink& link, SelectorImage& image,
                QObject* parent = nullptr);
    // Destroyed mid-run (its window closed), it stops teaching on the selector and leaves the
    // link free after the settling pause, without calling back.
    ~SamplingRun() override;

    // False when another link operation holds the link: nothing is sent then.
    bool start();
    // The user's Cancel. Takes effect while coins are awaited; during the start handshake it
    // takes effect once the handshake has succeeded.
    void cancel();

    int channel() const { return m_channel; }
    bool isRunning() const { return m_state != State::Idle; }

signals:
    void statusChanged(const QString& text, StatusColour colour);
    // accepted: coins taken so far; awaited: the coin now awaited (1..12), 0 before the first.
    void progressChanged(int accepted, int awaited);
    // The stop frame has gone out; the run's own controls can be hidden.
    void completed(SamplingRun::Outcome outcome);
    // Emitted once, after the settling pause, when the link is free again.
    void finished(SamplingRun::Outcome outcome);

private:
    enum class State
    {
        Idle,
        Handshaking,
        Collecting
    };

    void sendStart();
    void onStartReply(const SelectorLink::AttemptResult& result);
    void onFailedStart();
    void beginCollecting();
    void showProgress();
    void awaitCoin();
    void onCoin(const SelectorLink::AttemptResult& result);
    void endWith(const QString& text, Outcome outcome);
    void windUp(Outcome outcome);
    // Sends the stop frame and keeps the link quiet for the settling pause after it.
    void stopTeaching(std::function<void()> afterPause);

    int m_channel;
    bool m_keepTolerance;
    SelectorLink& m_link;
    SelectorImage& m_image;
    State m_state = State::Idle;
    RetryBudget m_budget;
    bool m_cancelRequested = false;
    SamplingStatistics::Samples m_samples{};
    int m_accepted = 0;
};
