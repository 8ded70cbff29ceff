// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinFeeder.h"
#include "ConsoleInterpreter.h"
#include "RawTerminal.h"
#include "SelectorEvents.h"
#include "SelectorSimulator.h"

#include <QTest>

using selectorsim::CoinFeeder;
using selectorsim::ConsoleInterpreter;
using selectorsim::SelectorEvents;
using selectorsim::SelectorSimulator;
using Status = ConsoleInterpreter::Status;

class SimSelectorEventsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SelectorSimulator> simulator;
    RawTerminal line;

private slots:
    void init()
    {
        simulator =
            std::make_unique<SelectorSimulator>(selectorsim::SimulatorOptions{.paced = false});
        QVERIFY(simulator->start());
        QVERIFY(line.open(simulator->devicePath()));
    }
    void cleanup()
    {
        line.close();
        simulator.reset();
    }

    void theEventCommandSendsOneMessage_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("sent"); // hexadecimal; empty for a refused command
        QTest::newRow("money") << "event 94 2C 01 05" << QByteArray("942C0105C6");
        QTest::newRow("sensor times") << "event aa c c8 3" << QByteArray("AA0CC80381");
        QTest::newRow("first code") << "event 91 3 64 2" << QByteArray("91036402FA");
        QTest::newRow("last code") << "event 96 35 0 0" << QByteArray("96350000CB");
        QTest::newRow("below the codes") << "event 90 1 2 3" << QByteArray();
        QTest::newRow("above the codes") << "event 97 1 2 3" << QByteArray();
        QTest::newRow("too few bytes") << "event 94 1 2" << QByteArray();
        QTest::newRow("too many bytes") << "event 94 1 2 3 4" << QByteArray();
        QTest::newRow("not hexadecimal") << "event 94 1 2 GG" << QByteArray();
    }
    void theEventCommandSendsOneMessage()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, sent);
        ConsoleInterpreter interpreter(*simulator);
        const ConsoleInterpreter::Result result = interpreter.execute(command.toStdString());
        QCOMPARE(result.status, sent.isEmpty() ? Status::Error : Status::Ok);
        if (!sent.isEmpty())
            QCOMPARE(line.receive(5).toHex().toUpper(), sent);
    }

    void inTheDemoDroppedCoinsAreReportedByEvents()
    {
        CoinFeeder coins(*simulator);
        SelectorEvents events(*simulator);
        ConsoleInterpreter interpreter(*simulator, &coins, &events);
        simulator->setMemoryAt(7 * 4 + 6, 0x2C); // coin 5's money

        QCOMPARE(interpreter.execute("drop 2 5").status, Status::Ok);
        QCOMPARE(coins.waitingCoins(), 0U);
        for (int coin = 1; coin <= 2; ++coin) {
            const QByteArray sensor = line.receive(5);
            QCOMPARE(quint8(sensor[0]), quint8(0xAA));
            QCOMPARE(int(sensor[1]), coin); // the coin count
            const QByteArray time = line.receive(5);
            QCOMPARE(quint8(time[0]), quint8(0x95));
            QCOMPARE(int(time[3]), 5);
            QCOMPARE(line.receive(5).toHex().toUpper(), QByteArray("942C0005C5"));
            for (const QByteArray& message : {sensor, time})
                QCOMPARE(quint8(message[4]),
                         quint8(message[0] + message[1] + message[2] + message[3]));
        }

        // While a teaching run measures, the coins are its reports as before.
        QVERIFY(line.send(QByteArray::fromHex("E3010203E9")));
        QCOMPARE(line.receive(5), QByteArray::fromHex("E3010203E9"));
        QTRY_VERIFY(coins.isMeasuring());
        QCOMPARE(interpreter.execute("drop 1 5").status, Status::Ok);
        QCOMPARE(quint8(line.receive(10)[0]), quint8(0x90));
    }
};

QTEST_GUILESS_MAIN(SimSelectorEventsTest)
#include "SimSelectorEventsTest.moc"
