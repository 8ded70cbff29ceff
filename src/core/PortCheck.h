// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AnswerLateness.h"
#include "LinkCommands.h"
#include "SelectorLink.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

// Whether a selector answers on a port, and if not, what is in the way: reads address 0
// (never a write) with up to three attempts and names what came back. Event driven on the
// link, as transfers are.
class PortCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr int Attempts = 3;
    static constexpr int CheckedAddress = 0; // read, never written

    enum class Verdict
    {
        Answers,
        AnswersSlowly,
        Silent,     // nothing came back
        Stray,      // bytes that are no answer
        Echo,       // the line gives back what is sent
        CannotOpen, // the port would not open
        Busy,       // another operation holds the link
        Lost        // the port broke during the check
    };

    struct Result
    {
        Verdict verdict = Verdict::Silent;
        double roundTripMs = 0; // of the quickest answer
        QByteArray stray;       // the bytes that were no answer
        QString reason;         // why the port would not open

        bool answered() const
        {
            return verdict == Verdict::Answers || verdict == Verdict::AnswersSlowly;
        }
        double lateMs() const { return PortCheck::lateMs(roundTripMs); }
        // The first byte that was no answer, in hexadecimal ("5A").
        QString firstStrayByte() const;
        // The verdict and what to do about it.
        QString text() const;
        // For a slow answer, where it is held back; else empty.
        QString hint() const;
    };

    // How much later than its wire time (AnswerLateness::WireMs) an answer came.
    static double lateMs(double roundTripMs);

    // Checks through link. With a device, the link opens it for the check and closes it
    // after; without, the check runs on the port the link holds, is refused while another
    // operation runs, and keeps the link quiet for the settling pause after it.
    PortCheck(SelectorLink& link, QString device, QObject* parent = nullptr);
    ~PortCheck() override;

    void start();

signals:
    void finished(const PortCheck::Result& result);

private:
    enum class Phase
    {
        Idle,
        Exchanging,
        Settling
    };

    void attempt();
    void onReply(const SelectorLink::AttemptResult& result);
    // The reply taken was the request's copy: the selector's answer, or an echo alone.
    void afterRequestCopy();
    void onAnswer(double roundTripMs);
    void onFailedAttempt(SelectorLink::Outcome outcome, const QByteArray& stray);
    void conclude();
    void finish(const Result& result);

    SelectorLink& m_link;
    const QString m_device;
    Phase m_phase = Phase::Idle;
    int m_attempts = 0;
    double m_sentAt = 0; // hundredths since midnight
    std::optional<double> m_quickestMs;
    QByteArray m_stray;
    LinkFrame m_request = LinkCommands::readRequest(CheckedAddress);
};
