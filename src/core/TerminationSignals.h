// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// SIGTERM and SIGINT as a Qt signal, so that the event loop ends the program in its own time
// (the window program as its close box would; no Qt work in a signal handler), and a
// programming under way can finish first. Only Linux has the descriptor this needs; elsewhere
// the system ends the program in its own way.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Blocks both signals in the calling thread, and so in every thread it starts afterwards:
    // called before Qt starts threads of its own, so that none of them takes the signals.
    static void block();

    // Blocks them in the calling thread as well.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Tells now, through received(), of a signal that came but that the event loop has not
    // read yet: what must not begin once a signal has come (a programming's first frame) asks
    // first, as the event loop may not run in between.
    void takePending();

    // Ends the program as the signal would have had it not been taken here.
    [[noreturn]] static void endAsSignalled(int signalNumber);

signals:
    void received(int signalNumber);

private:
    int m_descriptor = -1;                       // the signals' own, where the system has one
    std::unique_ptr<QSocketNotifier> m_notifier; // on it
};
