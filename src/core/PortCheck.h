// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AnswerLateness.h"
#include "LinkCommands.h"
#include "PortChoices.h"
#include "SelectorLink.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

// Whether a selector answers on a port, and if not, what is in the way: reads address 0
// (never a write) with up to three failed attempts and names what came back. Once the selector
// answers, a short run of back-to-back reads is timed by its median exchange: an adapter's
// latency timer holds back every answer of a run, where a lone answer may slip through at once,
// and one slow exchange may be the machine's doing. Event driven on the link, as transfers are.
class PortCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr int Attempts = 3;       // failed reads before the check gives up
    static constexpr int RunReads = 8;       // answered reads of the timed run
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
        double roundTripMs = 0;              // the median exchange of the run
        QByteArray stray;                    // the bytes that were no answer
        QString reason;                      // why the port would not open
        std::optional<int> latencyTimerMs{}; // the adapter's, where the system tells it

        bool answered() const
        {
            return verdict == Verdict::Answers || verdict == Verdict::AnswersSlowly;
        }
        double lateMs() const { return PortCheck::lateMs(roundTripMs); }
        // " (the adapter's latency timer: 16 ms)" where it is known; else empty.
        QString latencyTimerText() const;
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
    // The adapter's latency timer is read from deviceInfoFolder (see PortChoices).
    PortCheck(SelectorLink& link, QString device, QObject* parent = nullptr,
              QString deviceInfoFolder = PortChoices::deviceInfoFolder());
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
    static double lowerMedian(std::vector<double> values);
    // The latency timer of the adapter the check opened, where the system tells it.
    std::optional<int> adapterLatencyTimer() const;
    void finish(const Result& result);

    SelectorLink& m_link;
    const QString m_device;
    Phase m_phase = Phase::Idle;
    const QString m_deviceInfoFolder;
    int m_failedAttempts = 0;
    double m_sentAt = 0; // hundredths since midnight
    int m_answers = 0;
    std::optional<double> m_answeredAt;     // of the last read, if it answered
    std::vector<double> m_runMs;            // from an answer to the next, in a run
    std::optional<double> m_quickestLoneMs; // from a request to its answer, alone
    QByteArray m_stray;
    LinkFrame m_request = LinkCommands::readRequest(CheckedAddress);
};
