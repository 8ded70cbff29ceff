// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinFeeder.h"
#include "ConsoleInterpreter.h"
#include "RawTerminal.h"
#include "SelectorSimulator.h"

#include <QTest>

#include <random>
#include <set>

using namespace std::chrono_literals;
using selectorsim::CoinDrop;
using selectorsim::CoinFeeder;
using selectorsim::SelectorSimulator;

namespace {

const QByteArray TeachStart = QByteArray::fromHex("E3010203E9");
const QByteArray Stop = QByteArray::fromHex("840102038A");
const QByteArray ReadZero = QByteArray::fromHex("E1000806EF");

} // namespace

class SimCoinFeederTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SelectorSimulator> simulator;
    RawTerminal line;

private slots:
    void init()
    {
        simulator = std::make_unique<SelectorSimulator>();
        QVERIFY(simulator->start());
        QVERIFY(line.open(simulator->devicePath()));
    }
    void cleanup()
    {
        line.close();
        simulator.reset();
    }

    void coinsDroppedBeforeATeachStartFollowItsReply()
    {
        CoinFeeder feeder(*simulator, 20ms);
        CoinDrop good{.a = 0x12, .b = 0x34, .c = 5, .x = 0x50, .y = 0x80, .dH = 0x7E};
        CoinDrop strange = good;
        strange.code = CoinDrop::SpeedStrangeCode;
        CoinDrop badFirst = good;
        badFirst.badFirstChecksum = true;
        CoinDrop badSecond = good;
        badSecond.a = 0x80;
        badSecond.badSecondChecksum = true;
        feeder.drop({good, strange, badFirst, badSecond});
        QCOMPARE(feeder.waitingCoins(), 4U);

        QVERIFY(line.send(TeachStart));
        QCOMPARE(line.receive(5), TeachStart);
        QCOMPARE(line.receive(10), QByteArray::fromHex("90123405DB0050807E4E"));
        QCOMPARE(line.receive(10), QByteArray::fromHex("92123405DD0050807E4E"));
        QCOMPARE(line.receive(10), QByteArray::fromHex("90123405DC0050807E4E"));
        QCOMPARE(line.receive(10), QByteArray::fromHex("90803405490050807E4F"));
    }

    void theStopFrameEndsTheSession()
    {
        CoinFeeder feeder(*simulator, 200ms);
        QVERIFY(line.send(TeachStart));
        QCOMPARE(line.receive(5), TeachStart);
        QVERIFY(feeder.isMeasuring());
        feeder.dropKind(5, 3);
        QCOMPARE(line.receive(10).size(), 10);
        QVERIFY(line.send(Stop));
        QTRY_VERIFY(!feeder.isMeasuring());
        QCOMPARE(feeder.waitingCoins(), 0U);
        // Nothing but the reply to the next request comes.
        QVERIFY(line.send(ReadZero));
        QCOMPARE(line.receive(5).left(2), QByteArray::fromHex("E100"));
    }

    void automaticModeDropsTwelveCoinsPerSession()
    {
        CoinFeeder feeder(*simulator, 50ms);
        feeder.setAutomatic(true);
        // A start repeated within the session adds no coins.
        QVERIFY(line.send(TeachStart));
        QCOMPARE(line.receive(5), TeachStart);
        QVERIFY(line.send(TeachStart));
        QCOMPARE(line.receive(5), TeachStart);
        QVERIFY(feeder.waitingCoins() <= 12);
        // Kind 1 of the initial memory: AB 2500 (A 9), X 65, Y 102, dH 121.
        for (int coin = 0; coin < 12; ++coin) {
            const QByteArray report = line.receive(10);
            QCOMPARE(report.size(), 10);
            QCOMPARE(int(report[1]), 9);
            QVERIFY(qAbs(quint8(report[6]) - 65) <= 4);
        }
        QCOMPARE(feeder.waitingCoins(), 0U);
    }

    void dropsOfAKindScatterAroundItsReferences()
    {
        // Coin 12 of the initial memory: AB 8000, Y reference 136 (measured one below).
        std::mt19937 random;
        double abSum = 0;
        double ySum = 0;
        std::set<int> distinct;
        for (int i = 0; i < 400; ++i) {
            const CoinDrop coin = CoinDrop::ofKind(12, random);
            abSum += coin.a * 256 + coin.b;
            ySum += coin.y;
            distinct.insert(coin.a * 256 + coin.b);
        }
        QVERIFY(qAbs(abSum / 400 - 8000) < 10);
        QVERIFY(qAbs(ySum / 400 - 135) < 0.5);
        QVERIFY(distinct.size() > 20);
    }

    void theConsoleDropsCoins()
    {
        CoinFeeder feeder(*simulator);
        selectorsim::ConsoleInterpreter console(*simulator, &feeder);
        for (const char* bad :
             {"drop", "drop 0", "drop 1001", "drop 2 13", "drop x", "auto", "auto maybe"})
            QCOMPARE(console.execute(bad).status, selectorsim::ConsoleInterpreter::Status::Error);
        QCOMPARE(feeder.waitingCoins(), 0U);
        QCOMPARE(console.execute("drop 3 2").text,
                 std::string("the coins wait for a teach start\n"));
        QCOMPARE(feeder.waitingCoins(), 3U);
        QCOMPARE(console.execute("auto on").status, selectorsim::ConsoleInterpreter::Status::Ok);
        QVERIFY(line.send(TeachStart));
        QCOMPARE(line.receive(5), TeachStart);
        QVERIFY(feeder.waitingCoins() > 3); // twelve more, less the few sent meanwhile

        selectorsim::ConsoleInterpreter withoutCoins(*simulator);
        QCOMPARE(withoutCoins.execute("drop 1").status,
                 selectorsim::ConsoleInterpreter::Status::Error);
    }
};

QTEST_GUILESS_MAIN(SimCoinFeederTest)
#include "SimCoinFeederTest.moc"
