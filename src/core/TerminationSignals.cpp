// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <cstdlib>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t terminating()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

void TerminationSignals::block()
{
    const sigset_t set = terminating();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    // Unblocked, a signal would end the program before the descriptor could tell of it.
    block();
    const sigset_t set = terminating();
    m_descriptor = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_descriptor < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::takePending);
}

void TerminationSignals::takePending()
{
    if (m_descriptor < 0)
        return;
    signalfd_siginfo taken{};
    int signalNumber = 0;
    while (::read(m_descriptor, &taken, sizeof taken) == sizeof taken)
        signalNumber = static_cast<int>(taken.ssi_signo);
    if (signalNumber != 0)
        emit received(signalNumber);
}

void TerminationSignals::endAsSignalled(int signalNumber)
{
    std::signal(signalNumber, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signalNumber);
    std::_Exit(128 + signalNumber); // not reached: the signal ends the program
}

TerminationSignals::~TerminationSignals()
{
    if (m_descriptor < 0)
        return;
    m_notifier.reset();
    ::close(m_descriptor);
}
#else
void TerminationSignals::block() {}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::takePending() {}

void TerminationSignals::endAsSignalled(int signalNumber)
{
    std::_Exit(128 + signalNumber);
}
#endif
