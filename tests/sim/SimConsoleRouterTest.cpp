// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleInterpreter.h"
#include "ConsoleRouter.h"
#include "SelectorSimulator.h"

#include <QTest>

using selectorsim::ConsoleInterpreter;
using selectorsim::ConsoleRouter;
using selectorsim::SelectorSimulator;
using Status = ConsoleInterpreter::Status;

class SimConsoleRouterTest : public QObject
{
    Q_OBJECT
private slots:
    void routesByTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("changed"); // the selector whose byte 5 became 200; 0: none

        QTest::newRow("to selector 2") << "2 set 5 200" << 2;
        QTest::newRow("to selector 1 by number") << " 1\tset 5 200" << 1;
        QTest::newRow("no number: selector 1") << "set 5 200" << 1;
        QTest::newRow("one past the last") << "3 set 5 200" << 0;
        QTest::newRow("zero") << "0 set 5 200" << 0;
        QTest::newRow("beyond any integer") << "99999999999999999999 set 5 200" << 0;
        QTest::newRow("a number without a command") << "2 " << 0;
    }
    void routesByTheLeadingNumber()
    {
        QFETCH(QString, line);
        QFETCH(int, changed);
        SelectorSimulator first;
        SelectorSimulator second;
        ConsoleInterpreter firstInterpreter(first);
        ConsoleInterpreter secondInterpreter(second);
        ConsoleRouter router({&firstInterpreter, &secondInterpreter});
        const std::uint8_t before = first.memoryAt(5);
        QCOMPARE(second.memoryAt(5), before);
        QVERIFY(before != 200);

        const ConsoleInterpreter::Result result = router.execute(line.toStdString());
        QCOMPARE(result.status, changed ? Status::Ok : Status::Error);
        if (!changed)
            QVERIFY2(result.text.find("1..2") != std::string::npos, result.text.c_str());
        QCOMPARE(first.memoryAt(5), changed == 1 ? std::uint8_t{200} : before);
        QCOMPARE(second.memoryAt(5), changed == 2 ? std::uint8_t{200} : before);
    }

    void helpTellsHowToAddressASelector()
    {
        SelectorSimulator simulator;
        ConsoleInterpreter interpreter(simulator);
        ConsoleRouter router({&interpreter, &interpreter});
        QVERIFY(router.execute("2 help").text.find("N COMMAND") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(SimConsoleRouterTest)
#include "SimConsoleRouterTest.moc"
