// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

    BlockVerification(QList<SentByte> sent, SelectorLink& link, TransferDisplay& display,
                      QObject* parent = nullptr);
    ~BlockVerification() override;

    void start();

    Step step() const { return m_step; }
    // The addresses that differed at the first read-back (written again).
    QList<int> rewritten() const;
    // The addresses written again that the second read-back still found different.
    QList<int> stillDiffering() const;

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

    QList<SentByte> m_sent;
    SelectorLink& m_link;
    TransferDisplay& m_display;
    Step m_step = Step::Verify;
    QList<SentByte> m_bytes;     // the running step's bytes
    QList<SentByte> m_differing; // what its reads found different
    QList<SentByte> m_rewritten;
    qsizetype m_index = 0;
    RetryBudget m_budget;
    bool m_running = false;
};
