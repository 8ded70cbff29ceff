// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleInterpreter.h"
#include "RawTerminal.h"
#include "SelectorSimulator.h"

#include <QTest>

using selectorsim::ConsoleInterpreter;
using selectorsim::SelectorSimulator;
using Status = ConsoleInterpreter::Status;

class SimConsoleInterpreterTest : public QObject
{
    Q_OBJECT
private slots:
    void rejectsBadCommandsWithoutEffect_data()
    {
        QTest::addColumn<QString>("line");
        for (const char* line : {"bogus",
                                 "set",
                                 "set 1",
                                 "set 1 2 3",
                                 "set 189 1",
                                 "set -1 1",
                                 "set 1 256",
                                 "set x 1",
                                 "set 1 0x10",
                                 "fault",
                                 "fault nope",
                                 "fault late 0",
                                 "fault late x",
                                 "fault late 1 2",
                                 "silent",
                                 "silent maybe",
                                 "send",
                                 "send GG",
                                 "send 100",
                                 "send 1 2 zz",
                                 "dump 1",
                                 "quit now",
                                 "Set 1 1",
                                 "fault late at",
                                 "fault ignore at 189",
                                 "fault late after 10001",
                                 "fault late after -1",
                                 "fault short at 1 at 2",
                                 "fault short 2 after 5 after 6",
                                 "fault late over 5",
                                 "nofaults now"})
            QTest::newRow(line) << QString(line);
    }
    void rejectsBadCommandsWithoutEffect()
    {
        QFETCH(QString, line);
        SelectorSimulator simulator;
        const auto before = simulator.memory();
        ConsoleInterpreter interpreter(simulator);
        const ConsoleInterpreter::Result result = interpreter.execute(line.toStdString());
        QCOMPARE(result.status, Status::Error);
        QVERIFY(!result.text.empty());
        QVERIFY(simulator.memory() == before);
    }

    void helpListsEveryFault()
    {
        SelectorSimulator simulator;
        ConsoleInterpreter interpreter(simulator);
        const QString help = QString::fromStdString(interpreter.execute("help").text);
        for (const char* name :
             {"good", "noreply", "checksum", "lead", "late", "noise", "hangup", "ignore", "short",
              "address", "corrupt", "nofaults", "at ADDR", "after MS"})
            QVERIFY2(help.contains(name), name);
    }

    void faultsAimedAtAnAddressWithADelay()
    {
        SelectorSimulator simulator({.paced = false});
        QVERIFY(simulator.start());
        RawTerminal line;
        QVERIFY(line.open(simulator.devicePath()));
        ConsoleInterpreter interpreter(simulator);
        simulator.setMemoryAt(5, 0x55);
        simulator.setMemoryAt(6, 0x66);
        QCOMPARE(interpreter.execute("fault ignore at 6").status, Status::Ok);
        QCOMPARE(interpreter.execute("fault address 1 at 5 after 50").status, Status::Ok);
        QCOMPARE(interpreter.execute("fault short after 0").status, Status::Ok);
        QVERIFY(line.send(QByteArray::fromHex("E2065599D6") + QByteArray::fromHex("E1050806F4") +
                          QByteArray::fromHex("E1060806F5")));
        // 6 ignored (not stored); the read of 5 answered late for address 6; the read of 6
        // takes the short fault from the queue.
        QCOMPARE(line.receive(3), QByteArray::fromHex("E10608"));
        QCOMPARE(line.receive(5), QByteArray::fromHex("E106085544"));
        QCOMPARE(simulator.memoryAt(6), std::uint8_t{0x66});
        QCOMPARE(interpreter.execute("fault checksum 5").status, Status::Ok);
        QCOMPARE(interpreter.execute("nofaults").status, Status::Ok);
        QVERIFY(line.send(QByteArray::fromHex("E1050806F4")));
        QCOMPARE(line.receive(5), QByteArray::fromHex("E105085543"));
    }

    void dumpShowsTheMemorySixteenToARow()
    {
        SelectorSimulator simulator;
        ConsoleInterpreter interpreter(simulator);
        QCOMPARE(interpreter.execute("set 188 7").status, Status::Ok);
        QCOMPARE(interpreter.execute("  set\t17 255 ").status, Status::Ok);

        const ConsoleInterpreter::Result result = interpreter.execute("dump");
        QCOMPARE(result.status, Status::Ok);
        const QStringList rows = QString::fromStdString(result.text).trimmed().split('\n');
        QCOMPARE(rows.size(), 12);
        const auto memory = simulator.memory();
        for (int row = 0; row < rows.size(); ++row) {
            const QStringList fields = rows[row].simplified().split(' ');
            QCOMPARE(fields.front(), QString::number(16 * row) + ':');
            const int count = std::min(16, 189 - 16 * row);
            QCOMPARE(fields.size(), count + 1);
            for (int i = 0; i < count; ++i)
                QCOMPARE(fields[i + 1].toInt(), int{memory[std::size_t(16 * row + i)]});
        }
        QCOMPARE(simulator.memoryAt(17), std::uint8_t{255});
        QCOMPARE(simulator.memoryAt(188), std::uint8_t{7});
    }

    void drivesTheLine()
    {
        SelectorSimulator simulator({.paced = false});
        QVERIFY(simulator.start());
        RawTerminal line;
        QVERIFY(line.open(simulator.devicePath()));
        ConsoleInterpreter interpreter(simulator);

        QCOMPARE(interpreter.execute("send 94 2c 1 5 C6").status, Status::Ok);
        QCOMPARE(line.receive(5), QByteArray::fromHex("942C0105C6"));

        QCOMPARE(interpreter.execute("fault checksum").status, Status::Ok);
        QCOMPARE(interpreter.execute("silent on").status, Status::Ok);
        QVERIFY(line.send(QByteArray::fromHex("E205550A46")));
        QTRY_COMPARE(simulator.countReceived(0xE2), 1);
        QCOMPARE(interpreter.execute("silent off").status, Status::Ok);
        QVERIFY(line.send(QByteArray::fromHex("E3010203E9")));
        QCOMPARE(line.receive(5), QByteArray::fromHex("E3010203EA"));

        const ConsoleInterpreter::Result frames = interpreter.execute("frames");
        QCOMPARE(frames.text, std::string("E2 05 55 0A 46\nE3 01 02 03 E9\n"));
        QCOMPARE(interpreter.execute(" \t ").status, Status::Ok);
        QCOMPARE(interpreter.execute("quit").status, Status::Quit);
    }
};

QTEST_GUILESS_MAIN(SimConsoleInterpreterTest)
#include "SimConsoleInterpreterTest.moc"
