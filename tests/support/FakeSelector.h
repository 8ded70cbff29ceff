#pragma once

#include "FakeLinkClock.h"
#include "FakeLinkPort.h"
#include "LinkFrame.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSet>

#include <array>

// Answers read and write frames on a FakeLinkPort like a selector would, one event-loop turn
// later; requests can be left unanswered or answered wrongly by their number (0 = first).
class FakeSelector
{
public:
    enum class Fault
    {
        Silent,
        WrongChecksum,
        WrongLead,
        WrongAddress
    };

    explicit FakeSelector(FakeLinkPort& port) : m_port(port)
    {
        for (std::size_t a = 0; a < memory.size(); ++a)
            memory[a] = static_cast<quint8>(a * 7 + 3);
        port.responder = [this](FakeLinkPort&, const QByteArray& bytes) { onRequest(bytes); };
    }

    void setFault(int requestNumber, Fault fault) { m_faults.insert(requestNumber, fault); }

    std::array<quint8, 189> memory{};
    QList<QByteArray> requests;
    QList<int> writtenAddresses;
    int endOfBlocks = 0;

private:
    void onRequest(const QByteArray& bytes)
    {
        const auto frame = LinkFrame::fromBytes(bytes);
        if (!frame)
            return;
        if (frame->lead() == 0x89) {
            ++endOfBlocks;
            return;
        }
        const int number = static_cast<int>(requests.size());
        requests.append(bytes);
        const int address = frame->at(1);
        quint8 value = frame->at(3);
        if (frame->lead() == 0xE1 && address < 189)
            value = memory[static_cast<std::size_t>(address)];
        if (frame->lead() == 0xE2 && address < 189) {
            memory[static_cast<std::size_t>(address)] = value;
            writtenAddresses.append(address);
        }
        const Fault fault = m_faults.value(number, Fault(-1));
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
        QMetaObject::invokeMethod(
            &m_port, [this, reply] { m_port.receive(reply); }, Qt::QueuedConnection);
    }

    FakeLinkPort& m_port;
    QHash<int, Fault> m_faults;
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
