// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeLinkClock.h"
#include "FakeLinkPort.h"
#include "LinkFrame.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSet>

#include <array>
#include <functional>

// Answers read and write frames on a FakeLinkPort like a selector would, one event-loop turn
// later; requests can be left unanswered or answered wrongly by their number (0 = first).
class FakeSelector
{
public:
    enum class Fault
    {
        Silent,        // carried out, not answered
        WrongChecksum, // answered with a checksum one too high
        WrongLead,     // answered with lead byte 55
        WrongAddress,  // answered with the address plus one (and a checksum that fits)
        Ignored,       // lost on the line: neither carried out nor answered
        Late,          // carried out; the answer comes when the next request arrives, before
                       // that request's own answer
    };

    explicit FakeSelector(FakeLinkPort& port, FakeLinkClock* clock = nullptr)
        : m_port(port), m_clock(clock)
    {
        for (std::size_t a = 0; a < memory.size(); ++a)
            memory[a] = static_cast<quint8>(a * 7 + 3);
        port.responder = [this](FakeLinkPort&, const QByteArray& bytes) { onRequest(bytes); };
    }

    void setFault(int requestNumber, Fault fault) { m_faults.insert(requestNumber, fault); }

    std::array<quint8, 189> memory{};
    QList<QByteArray> requests; // reads and writes, in order
    QList<int> writtenAddresses;
    int endOfBlocks = 0;
    // Every frame received (end frames included), with the fake time it came, if a clock was
    // given.
    QList<QByteArray> frames;
    QList<double> frameTimes;
    // Writes to these addresses are answered but do not take.
    QSet<int> stuckAddresses;
    // Answers arrive one byte per event-loop turn, as on a real line.
    bool byteByByte = false;
    // The line gives every frame back ahead of its answer (an adapter with local echo).
    bool echo = false;
    // Runs before a request is answered, with its number; may feed the port.
    std::function<void(int requestNumber, const LinkFrame& request)> beforeAnswer;

    int countRequests(quint8 lead) const
    {
        int count = 0;
        for (const QByteArray& request : requests)
            count += quint8(request.at(0)) == lead ? 1 : 0;
        return count;
    }

private:
    void send(const QByteArray& reply)
    {
        const qsizetype step = byteByByte ? 1 : reply.size();
        for (qsizetype i = 0; i < reply.size(); i += step)
            QMetaObject::invokeMethod(
                &m_port, [this, part = reply.mid(i, step)] { m_port.receive(part); },
                Qt::QueuedConnection);
    }

    void onRequest(const QByteArray& bytes)
    {
        const auto frame = LinkFrame::fromBytes(bytes);
        if (!frame)
            return;
        if (echo)
            send(bytes);
        frames.append(bytes);
        frameTimes.append(m_clock ? m_clock->elapsed() : 0.0);
        if (frame->lead() == 0x89) {
            ++endOfBlocks;
            return;
        }
        const int number = static_cast<int>(requests.size());
        requests.append(bytes);
        if (beforeAnswer)
            beforeAnswer(number, *frame);
        if (!m_held.isEmpty())
            send(std::exchange(m_held, QByteArray()));
        const Fault fault = m_faults.value(number, Fault(-1));
        if (fault == Fault::Ignored)
            return;
        const int address = frame->at(1);
        quint8 value = frame->at(3);
        if (frame->lead() == 0xE1 && address < 189)
            value = memory[static_cast<std::size_t>(address)];
        if (frame->lead() == 0xE2 && address < 189) {
            if (!stuckAddresses.contains(address))
                memory[static_cast<std::size_t>(address)] = value;
            writtenAddresses.append(address);
        }
        if (fault == Fault::Silent)
            return;
        quint8 lead = frame->lead();
        quint8 echoedAddress = frame->at(1);
        if (fault == Fault::WrongLead)
            lead = 0x55;
        if (fault == Fault::WrongAddress)
            echoedAddress = static_cast<quint8>(echoedAddress + 1);
        QByteArray reply = LinkFrame::build(lead, echoedAddress, frame->at(2), value).toByteArray();
        if (fault == Fault::WrongChecksum)
            reply[4] = static_cast<char>(reply.at(4) + 1);
        if (fault == Fault::Late)
            m_held = reply;
        else
            send(reply);
    }

    FakeLinkPort& m_port;
    FakeLinkClock* m_clock;
    QHash<int, Fault> m_faults;
    QByteArray m_held;
};

// Runs the event loop, moving fake time on by a hundredth whenever nothing else happens, until
// done() holds or the step limit is reached.
template <typename Done> bool pumpUntil(FakeLinkClock& clock, Done done, int maxSteps = 20000)
{
    for (int step = 0; step < maxSteps; ++step) {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        if (done())
            return true;
        clock.advance(1);
    }
    return done();
}
