// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinReportSession.h"
#include "SamplingStatistics.h"
#include "TransferDisplay.h"

#include <QObject>
#include <QString>

#include <functional>

class SelectorImage;
class SelectorLink;

// Teaches one coin channel: starts teaching on the selector, collects twelve coin reports,
// writes the channel's references into the image and stops teaching again. It holds the link
// as one operation from start() until the settling pause after its stop frame, runs on the
// link's events and reports through signals; it never touches widgets. Destroyed mid-run (its
// window closed), it stops teaching on the selector and leaves the link free after the
// settling pause, without calling back.
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

    // Asked when the results are written: true leaves the channel's CGMA as it is (after a
    // coin data file was programmed, the tolerance comes from the file). None writes it.
    using ToleranceKept = std::function<bool()>;

    // channel 0..11 (coins 1..12).
    SamplingRun(int channel, ToleranceKept keepTolerance, SelectorLink& link, SelectorImage& image,
                QObject* parent = nullptr);

    // False when another link operation holds the link: nothing is sent then.
    bool start();
    // The user's Cancel. Takes effect while coins are awaited; during the start handshake it
    // takes effect once the handshake has succeeded.
    void cancel();

    int channel() const { return m_channel; }
    // Its coins as they come, and those it ignores.
    const CoinReportSession& session() const { return m_session; }

signals:
    void statusChanged(const QString& text, StatusColour colour);
    // accepted: coins taken so far; awaited: the coin now awaited (1..12), 0 before the first.
    void progressChanged(int accepted, int awaited);
    // The statistics of twelve collected coins, once their references are in the image.
    void sampled(const SamplingStatistics& statistics);
    // The stop frame has gone out; the run's own controls can be hidden.
    void completed(SamplingRun::Outcome outcome);
    // Emitted once, after the settling pause, when the link is free again.
    void finished(SamplingRun::Outcome outcome);

private:
    void onEnded(CoinReportSession::Ending ending);
    void windUp(Outcome outcome);

    int m_channel;
    ToleranceKept m_keepTolerance;
    SelectorImage& m_image;
    CoinReportSession m_session;
};
