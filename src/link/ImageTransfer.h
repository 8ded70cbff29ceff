// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EchoTally.h"
#include "LinkFrame.h"
#include "RetryBudget.h"
#include "SelectorLink.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class BlockVerification;
class SelectorImage;
class TransferDisplay;

// Moves image bytes between the PC and the selector, one exchange per byte: the full read, the
// partial read, or the programming of one address block. Runs on the link's events; reports
// through its display and, after the settling pause, through finished().
//
// Before the first attempt for each new address whatever is waiting on the line is dropped, so
// no answer that came before a request is taken for it. A block in which any attempt failed
// (or before one of whose addresses stale bytes were found, or which took an answer that does
// not echo its write) is read back after its end frame and settling pause by a
// BlockVerification, which writes differing bytes again; the block succeeds only if the
// selector then holds every byte sent. The link stays held throughout.
class ImageTransfer : public QObject
{
    Q_OBJECT
public:
    enum class Kind
    {
        FullRead,
        PartialRead,
        SamplingRead, // the coin tables (0..127) before teaching, byte by byte on show
        ProgramBlock
    };

    static constexpr int FirstPartialReadAddress = 120;
    static constexpr int LastSamplingReadAddress = 127;

    // first..last inclusive; reads use their fixed ranges.
    ImageTransfer(Kind kind, int first, int last, SelectorLink& link, SelectorImage& image,
                  TransferDisplay& display, QObject* parent = nullptr);
    ~ImageTransfer() override;

    // A read of the kind's fixed range of addresses.
    static ImageTransfer* read(Kind kind, SelectorLink& link, SelectorImage& image,
                               TransferDisplay& display, QObject* parent = nullptr);
    static ImageTransfer* fullRead(SelectorLink& link, SelectorImage& image,
                                   TransferDisplay& display, QObject* parent = nullptr);
    static ImageTransfer* partialRead(SelectorLink& link, SelectorImage& image,
                                      TransferDisplay& display, QObject* parent = nullptr);
    static ImageTransfer* programBlock(int begin, int total, SelectorLink& link,
                                       SelectorImage& image, TransferDisplay& display,
                                       QObject* parent = nullptr);

    // False when another link operation holds the link: nothing is sent then.
    bool start();

    Kind kind() const { return m_kind; }
    int address() const { return m_address; }
    int failures() const { return m_budget.failures(); }

    // A block closes the status window when it succeeds (the default); a sequence whose
    // earlier block failed keeps it open, so that the failure can be shown at its end.
    void setClosesWindowOnSuccess(bool closes) { m_closesWindowOnSuccess = closes; }
    // A block is read back even when every attempt went through; off by default.
    void setVerifyAfterProgramming(bool on) { m_verifyAfterProgramming = on; }
    // Whether this block was read back (some attempt failed, or it always is).
    bool wasReadBack() const { return m_verification != nullptr; }
    // The addresses the read-back found different and wrote again.
    QList<int> rewrittenAddresses() const;
    // Those of them the selector still did not hold after they were written again.
    QList<int> unconfirmedAddresses() const;
    // False when the transfer gave up for want of an answer (a read-back cut short, or only
    // the echo of the requests came back) rather than for bytes the selector does not hold.
    bool answered() const { return m_answered; }
    // The red text it gave up with; empty while it has not.
    QString failureText() const { return m_failureText; }

signals:
    // The last exchange is over (the settling pause follows); true when every byte went through.
    // For a block that is read back, this is after the read-back.
    void completed(bool succeeded);
    // Emitted once, after the settling pause, with the same outcome.
    void finished(bool succeeded);

private:
    bool isRead() const { return m_kind != Kind::ProgramBlock; }
    LinkFrame requestFor(int address);
    bool isReply(const QByteArray& reply) const;
    bool acceptReply(const QByteArray& reply);
    void sendCurrent(bool newAddress);
    void onAttempt(const SelectorLink::AttemptResult& result);
    void onFailedAttempt(SelectorLink::Outcome outcome);
    void succeed();
    void startReadBack();
    void succeedAndClose();
    // Why, when given, follows the failure text. Only a read-back that was answered can have
    // given up with an answer: for bytes the selector does not hold.
    void giveUp(const QString& why = {}, bool answered = false);
    void finish(bool succeeded);

    Kind m_kind;
    int m_first;
    int m_last;
    SelectorLink& m_link;
    SelectorImage& m_image;
    TransferDisplay& m_display;
    RetryBudget m_budget;
    int m_address;
    float m_lastT0 = 0.0F;
    bool m_running = false;
    bool m_closesWindowOnSuccess = true;
    bool m_needsReadBack = false;
    bool m_verifyAfterProgramming = false;
    QMap<int, quint8> m_sent; // block: the last value sent to each address
    EchoTally m_echoes;       // reads
    bool m_answered = true;
    QString m_failureText;
    BlockVerification* m_verification = nullptr;
};
