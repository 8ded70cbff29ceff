// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinReport.h"
#include "LinkFrame.h"
#include "RetryBudget.h"
#include "SelectorLink.h"
#include "TransferDisplay.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

// The selector's side of teaching and calibration: the start handshake (five attempts), then
// coin reports with no time-out until enough are accepted or the user cancels. It holds the
// link as one operation from start() until its owner ends it with stop() or release(); it runs
// on the link's events and never touches widgets.
//
// Reports are told from stray bytes by their framing alone, never by their code byte: a report
// is ten bytes with both checksums right and then silence, as the next coin is far behind. A
// read followed at once by more bytes was out of step (a stray frame ahead of a report whose
// second half was still coming) and is dropped with what trails it. What follows the start
// reply in its read (a coin dropped at once) begins the reports. After a start that needed
// more than one attempt, the answer to an earlier attempt may still be on its way: the line is
// left quiet for a settling pause and cleared before the first coin is awaited; the coins that
// came meanwhile are counted as ignored.
class CoinReportSession : public QObject
{
    Q_OBJECT
public:
    enum class Ending
    {
        Collected,    // sampleCount reports accepted
        Cancelled,    // cancel() while coins were awaited
        NoStartReply, // no valid start reply in five attempts
        SelectorLost, // the port failed, or is being closed
    };
    Q_ENUM(Ending)

    // Why a report that came was not counted.
    enum class IgnoredReason
    {
        BadChecksum,
        OutOfRange, // a measurement the protocol does not accept (A of 128 or more)
        OutOfStep,  // a short read, or bytes not on a report's boundary
        TooEarly,   // came while the line settled after a retried start, and was dropped
    };
    Q_ENUM(IgnoredReason)

    struct Protocol
    {
        LinkFrame startFrame;
        quint8 startReplyLead;
        int sampleCount;
        // Which reports are measurements; the others are ignored like noise.
        std::function<bool(const CoinReport&)> accepts;
        QString startText; // the status line while the run waits for the selector and coins
    };

    // The status line when the user's Cancel ended a run.
    inline static const QString CancelledText = QStringLiteral("User terminate Insert !");

    CoinReportSession(Protocol protocol, SelectorLink& link, QObject* parent = nullptr);
    // Destroyed while it holds the link (its window closed), it stops measuring on the selector
    // and leaves the link free after the settling pause, without calling back.
    ~CoinReportSession() override;

    // False when another link operation holds the link: nothing is sent then.
    bool start();
    // The user's Cancel. Takes effect while coins are awaited; during the start handshake it
    // takes effect once the handshake has succeeded.
    void cancel();

    // After ended(): sends the stop frame and frees the link after the settling pause, then
    // calls afterPause (not when the session is gone by then).
    void stop(std::function<void()> afterPause);
    // After ended(): frees the link at once, sending nothing.
    void release();

    // The accepted reports in order of arrival; complete once ended(Collected) is emitted.
    const QList<CoinReport>& reports() const { return m_reports; }

signals:
    void statusChanged(const QString& text, StatusColour colour);
    // accepted: reports taken so far; awaited: the coin now awaited (1..N), 0 before the first.
    void progressChanged(int accepted, int awaited);
    void reportAccepted(const CoinReport& report);
    void reportIgnored(CoinReportSession::IgnoredReason reason);
    // Every session that started ends exactly once; the link is still held then.
    void ended(CoinReportSession::Ending ending);

private:
    enum class State
    {
        Idle,
        Handshaking,
        Collecting,
        Ended // waiting for stop() or release()
    };

    void sendStart();
    void onStartReply(const SelectorLink::AttemptResult& result);
    void onFailedStart(SelectorLink::Outcome failure);
    // rest: what came after the start reply in its read.
    void beginCollecting(const QByteArray& rest);
    void ignoreEarlyCoins(QByteArray dropped);
    void showProgress();
    void awaitCoin();
    void onCoin(const SelectorLink::AttemptResult& result);
    void onQuietAfter(const CoinReport& report, const SelectorLink::AttemptResult& result);
    void accept(const CoinReport& report);
    void resynchronise(IgnoredReason reason);
    void onPortClosing();
    void end(Ending ending);

    Protocol m_protocol;
    SelectorLink& m_link;
    State m_state = State::Idle;
    RetryBudget m_budget;
    bool m_cancelRequested = false;
    QList<CoinReport> m_reports;
};
