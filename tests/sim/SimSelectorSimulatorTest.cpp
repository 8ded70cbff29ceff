// SPDX-License-Identifier: GPL-3.0-or-later
#include "RawTerminal.h"
#include "SelectorSimulator.h"

#include <QElapsedTimer>
#include <QTest>

using selectorsim::Fault;
using selectorsim::Frame;
using selectorsim::SelectorSimulator;

Q_DECLARE_METATYPE(selectorsim::Fault)
Q_DECLARE_METATYPE(std::optional<std::chrono::microseconds>)

namespace {

QByteArray bytes(const Frame& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), 5);
}

QByteArray request(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    return bytes(selectorsim::makeFrame(b0, b1, b2, b3));
}

QByteArray readRequest(std::uint8_t address)
{
    return request(0xE1, address, 0x08, 0x06);
}

QByteArray readReply(std::uint8_t address, std::uint8_t value)
{
    return request(0xE1, address, 0x08, value);
}

bool startAndOpen(SelectorSimulator& simulator, RawTerminal& line)
{
    if (!simulator.start())
        qWarning("start: %s", simulator.errorString().c_str());
    return line.open(simulator.devicePath());
}

} // namespace

class SimSelectorSimulatorTest : public QObject
{
    Q_OBJECT
private slots:
    void repliesToReadsAndWrites_data()
    {
        QTest::addColumn<bool>("paced");
        QTest::addColumn<bool>("whole"); // each reply written in one go
        QTest::newRow("paced") << true << false;
        QTest::newRow("paced, whole replies") << true << true;
        QTest::newRow("unpaced") << false << false;
    }
    void repliesToReadsAndWrites()
    {
        QFETCH(bool, paced);
        QFETCH(bool, whole);
        SelectorSimulator simulator({.paced = paced, .wholeTransmissions = whole});
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        simulator.setMemoryAt(0, 0x42);

        QVERIFY(line.send(QByteArray::fromHex("E1000806EF")));
        QCOMPARE(line.receive(5), QByteArray::fromHex("E10008422B"));
        QVERIFY(line.send(QByteArray::fromHex("E205550A46")));
        QCOMPARE(line.receive(5), QByteArray::fromHex("E205550A46"));
        QCOMPARE(simulator.memoryAt(5), std::uint8_t{10});
        const std::vector<Frame> expected{selectorsim::makeFrame(0xE1, 0, 8, 6),
                                          selectorsim::makeFrame(0xE2, 5, 0x55, 10)};
        QVERIFY(simulator.receivedFrames() == expected);
        if (whole)
            QCOMPARE(simulator.deliveryTiming().writes, 2); // a write for each reply
    }

    void echoesRequestsBeforeTheReply_data()
    {
        using namespace std::chrono_literals;
        QTest::addColumn<bool>("echo");
        QTest::addColumn<std::optional<std::chrono::microseconds>>("adapterLatency");
        QTest::newRow("echo") << true << std::optional<std::chrono::microseconds>();
        QTest::newRow("echo behind an adapter")
            << true << std::optional<std::chrono::microseconds>(16ms);
        QTest::newRow("adapter without echo")
            << false << std::optional<std::chrono::microseconds>(1ms);
    }
    void echoesRequestsBeforeTheReply()
    {
        QFETCH(bool, echo);
        QFETCH(std::optional<std::chrono::microseconds>, adapterLatency);
        SelectorSimulator simulator({.adapterLatency = adapterLatency, .echo = echo});
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        simulator.setMemoryAt(4, 0x44);

        const QByteArray expected = (echo ? readRequest(4) : QByteArray()) + readReply(4, 0x44);
        QVERIFY(line.send(readRequest(4)));
        QCOMPARE(line.receive(static_cast<int>(expected.size())), expected);
    }

    void recordsWhatGetsNoReplyAndIgnoresBadChecksums()
    {
        SelectorSimulator simulator;
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));

        // A reply to any of the first three would arrive before the last one's.
        QVERIFY(line.send(QByteArray::fromHex("E1000806F0") + readRequest(189) +
                          request(0x89, 1, 2, 3) + readRequest(7)));
        QCOMPARE(line.receive(5), readReply(7, simulator.memoryAt(7)));
        QCOMPARE(simulator.countReceived(0xE1), 2);
        QCOMPARE(simulator.countReceived(0x89), 1);
        QCOMPARE(simulator.receivedFrames().front(), selectorsim::makeFrame(0xE1, 189, 8, 6));
        simulator.clearReceived();
        QVERIFY(simulator.receivedFrames().empty());
    }

    void aFaultSpoilsOnlyTheNextReply_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("expected"); // replies to reads of 1 (0x11) and 2 (0x22)

        const QByteArray first = readReply(1, 0x11);
        const QByteArray second = readReply(2, 0x22);
        QByteArray badChecksum = first;
        ++badChecksum[4];
        const QByteArray noise(reinterpret_cast<const char*>(SelectorSimulator::NoiseBytes.data()),
                               SelectorSimulator::NoiseBytes.size());

        QTest::newRow("no reply") << Fault::NoReply << second;
        QTest::newRow("wrong checksum") << Fault::WrongChecksum << badChecksum + second;
        QTest::newRow("wrong lead byte")
            << Fault::WrongLeadByte << request(0x1E, 1, 0x08, 0x11) + second;
        QTest::newRow("noise") << Fault::NoiseBytes << noise + first + second;
        QTest::newRow("late") << Fault::LateReply << second + first;
        QTest::newRow("ignored") << Fault::IgnoreRequest << second;
        QTest::newRow("short") << Fault::ShortReply << first.left(3) + second;
        QTest::newRow("wrong address") << Fault::WrongAddress << readReply(2, 0x11) + second;
        QTest::newRow("corrupt write, on a read") << Fault::CorruptWrite << first + second;
    }
    void aFaultSpoilsOnlyTheNextReply()
    {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, expected);
        SelectorSimulator simulator;
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        simulator.setMemoryAt(1, 0x11);
        simulator.setMemoryAt(2, 0x22);

        simulator.queueFault(fault);
        QVERIFY(line.send(readRequest(1) + readRequest(2)));
        QCOMPARE(line.receive(static_cast<int>(expected.size())), expected);
        QCOMPARE(simulator.countReceived(0xE1), 2);
    }

    void anIgnoredRequestIsNotCarriedOut()
    {
        SelectorSimulator simulator({.paced = false});
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        const std::uint8_t before = simulator.memoryAt(9);
        simulator.queueFault(Fault::NoReply);
        simulator.queueFault(Fault::IgnoreRequest);
        QVERIFY(line.send(request(0xE2, 8, 0x55, 0x99) + request(0xE2, 9, 0x55, 0x99) +
                          readRequest(9)));
        QCOMPARE(line.receive(5), readReply(9, before));
        QCOMPARE(simulator.memoryAt(8), std::uint8_t{0x99}); // no reply, but carried out
        QCOMPARE(simulator.countReceived(0xE2), 2);          // both are on the record
    }

    void aCorruptWriteAnswersAsIfStored()
    {
        SelectorSimulator simulator({.paced = false});
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        simulator.queueFaultAt(8, Fault::CorruptWrite);
        const QByteArray write = request(0xE2, 8, 0x55, 0x98);
        QVERIFY(line.send(write + request(0xE2, 8, 0x55, 0x98)));
        QCOMPARE(line.receive(10), write + write);
        QCOMPARE(simulator.memoryAt(8), std::uint8_t{0x98}); // only the first write was spoilt
        simulator.queueFault(Fault::CorruptWrite);
        QVERIFY(line.send(write));
        QCOMPARE(line.receive(5), write);
        QCOMPARE(simulator.memoryAt(8), std::uint8_t{0x99});
    }

    void faultsCanAimAtOneAddressAndCarryTheirOwnDelay()
    {
        using namespace std::chrono_literals;
        SelectorSimulator simulator({.paced = false});
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        simulator.setMemoryAt(1, 0x11);
        simulator.setMemoryAt(2, 0x22);
        simulator.setMemoryAt(3, 0x33);
        simulator.queueFault(Fault::WrongChecksum);           // for the first reply not aimed
        simulator.queueFaultAt(2, Fault::LateReply, 1, 80ms); // the first reply to 2
        simulator.queueFaultAt(3, Fault::IgnoreRequest);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(line.send(readRequest(2) + readRequest(3) + readRequest(1) + readRequest(2)));
        QByteArray badChecksum = readReply(1, 0x11);
        ++badChecksum[4];
        QCOMPARE(line.receive(10), badChecksum + readReply(2, 0x22));
        QVERIFY(timer.elapsed() < 60);
        QCOMPARE(line.receive(5), readReply(2, 0x22)); // the late one
        QVERIFY(timer.elapsed() >= 75);

        simulator.queueFaultAt(4, Fault::NoReply, 3);
        simulator.queueFault(Fault::WrongLeadByte, 3, 30ms);
        simulator.clearFaults();
        QVERIFY(line.send(readRequest(4)));
        QCOMPARE(line.receive(5), readReply(4, simulator.memoryAt(4)));
    }

    void faultsQueueInOrderWithRepeats()
    {
        SelectorSimulator simulator({.paced = false});
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));

        simulator.queueFault(Fault::WrongChecksum);
        simulator.queueFault(Fault::NoReply, 2);
        QVERIFY(line.send(request(0xE3, 1, 2, 3) + request(0xE3, 1, 2, 3) + request(0xE3, 1, 2, 3) +
                          request(0x83, 1, 2, 3)));
        QCOMPARE(line.receive(10), QByteArray::fromHex("E3010203EA8301020389"));
    }

    void silenceStillCarriesOutRequests()
    {
        SelectorSimulator simulator;
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));

        simulator.setSilent(true);
        QVERIFY(line.send(request(0xE2, 9, 0x55, 0x99)));
        QTRY_COMPARE(simulator.memoryAt(9), std::uint8_t{0x99});
        simulator.setSilent(false);
        QVERIFY(line.send(readRequest(9)));
        QCOMPARE(line.receive(5), readReply(9, 0x99));
    }

    void sendsUnsolicitedBytes()
    {
        SelectorSimulator simulator;
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        const QByteArray event = QByteArray::fromHex("942C0105C6");
        simulator.sendBytes({event.begin(), event.end()});
        QCOMPARE(line.receive(5), event);
    }

    void farEndCanCloseAndReopen()
    {
        SelectorSimulator simulator;
        QVERIFY(simulator.start());
        for (int round = 0; round < 3; ++round) {
            RawTerminal line;
            QVERIFY(line.open(simulator.devicePath()));
            QVERIFY(line.send(readRequest(3)));
            QCOMPARE(line.receive(5), readReply(3, simulator.memoryAt(3)));
        }
    }

    void hangUpClosesTheFarEnd_data()
    {
        QTest::addColumn<bool>("asFault");
        QTest::newRow("on demand") << false;
        QTest::newRow("as a fault on the next request") << true;
    }
    void hangUpClosesTheFarEnd()
    {
        QFETCH(bool, asFault);
        SelectorSimulator simulator;
        RawTerminal line;
        QVERIFY(startAndOpen(simulator, line));
        if (asFault) {
            simulator.queueFault(Fault::HangUp);
            QVERIFY(line.send(readRequest(0)));
        } else {
            simulator.hangUp();
        }
        QVERIFY(line.waitForHangUp());

        // A restart gives a fresh line that works.
        simulator.stop();
        QVERIFY(simulator.devicePath().empty());
        QVERIFY(simulator.start());
        RawTerminal fresh;
        QVERIFY(fresh.open(simulator.devicePath()));
        QVERIFY(fresh.send(readRequest(0)));
        QCOMPARE(fresh.receive(5), readReply(0, simulator.memoryAt(0)));
    }
};

QTEST_GUILESS_MAIN(SimSelectorSimulatorTest)
#include "SimSelectorSimulatorTest.moc"
