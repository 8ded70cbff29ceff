// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EchoTally.h"
#include "RetryBudget.h"
#include "SelectorLink.h"

#include <QList>
#include <QObject>
#include <QString>

class TransferDisplay;

// Makes sure the selector holds a programmed block that needed retries: reads every byte
// back (the full read's frames), writes the bytes that differ again as a block of their own
// (their write frames, the end frame and the settling pause) and reads those back once more.
// Every byte of each step has a retry budget of its own, so that a noisy line spread over many
// bytes does not fail a block the selector holds: only a byte that cannot be confirmed in five
// attempts does. Runs inside the block's link operation (the caller holds the link, and
// pauses after its end frame before start()).
class BlockVerification : public QObject
{
    Q_OBJECT
public:
    struct SentByte
    {
        int address;
        quint8 value;
    };
    enum class Step
    {
        Verify,
        WriteAgain,
        VerifyAgain
    };

    // What the status window shows (blue) while a step works on an address.
    static QString statusText(Step step, int address);
    // "address 7" or "addresses 3, 4, 7".
    static QString addressList(const QList<int>& addresses);

    BlockVerification(QList<SentByte> sent, SelectorLink& link, TransferDisplay& display,
                      QObject* parent = nullptr);
    ~BlockVerification() override;

    void start();

    Step step() const { return m_step; }
    // The addresses that differed at the first read-back (written again).
    QList<int> rewritten() const;
    // The addresses written again that the second read-back still found different.
    QList<int> stillDiffering() const;
    // False when the selector stopped answering (or only the echo came back) before every
    // byte was confirmed: the block's outcome is then no answer, whatever was found so far.
    bool answered() const { return m_answered; }
    // For a read-back that got no answer: which addresses it could not confirm, and why.
    QString failure() const;

signals:
    // After the last exchange (and, when bytes were written again, their end frame and pause
    // and the second read-back); true when the selector holds every byte sent. The caller
    // ends the block: its display and its settling pause.
    void finished(bool selectorHoldsEveryByte);

private:
    void beginStep(Step step, QList<SentByte> bytes);
    void sendCurrent(bool newAddress);
    void onAttempt(const SelectorLink::AttemptResult& result);
    void onFailedAttempt(SelectorLink::Outcome outcome);
    void nextAddress();
    void endStep();
    void end(bool succeeded);
    // Ends without the answers the running step needed.
    void endUnanswered();

    QList<SentByte> m_sent;
    SelectorLink& m_link;
    TransferDisplay& m_display;
    Step m_step = Step::Verify;
    QList<SentByte> m_bytes;     // the running step's bytes
    QList<SentByte> m_differing; // what its reads found different
    QList<SentByte> m_rewritten;
    qsizetype m_index = 0;
    RetryBudget m_budget;
    EchoTally m_echoes; // over the reads of the first read-back
    bool m_running = false;
    bool m_answered = true;
    bool m_onlyEchoed = false;
    QList<int> m_unconfirmed; // when it ended unanswered
};
