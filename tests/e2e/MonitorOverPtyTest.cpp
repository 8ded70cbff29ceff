// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppPaths.h"
#include "AppTestEnvironment.h"
#include "ConsoleInterpreter.h"
#include "DisplayWindow.h"
#include "FileBytes.h"
#include "LinkCommands.h"
#include "MemoryWindow.h"
#include "PtyCoreRig.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using selectorsim::ConsoleInterpreter;

namespace {
constexpr int Patience = 20000; // ms; generous, the machine may be busy
}

class MonitorOverPtyTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<PtyCoreRig> rig;
    std::unique_ptr<ConsoleInterpreter> console;

    static QString text(QWidget& window, const QString& name)
    {
        return window.findChild<QLineEdit*>(name)->text();
    }
    static QString status(QWidget& window)
    {
        return window.findChild<QLabel*>("labelStats")->text();
    }

private slots:
    void init()
    {
        environment.reset();
        rig = std::make_unique<PtyCoreRig>();
        QVERIFY2(rig->connect(), rig->simulator.errorString().c_str());
        console = std::make_unique<ConsoleInterpreter>(rig->simulator);
    }
    void cleanup()
    {
        console.reset();
        rig.reset();
    }

    void eventsFromTheSelectorAreShown()
    {
        {
            DisplayWindow display(rig->core);
            display.show();
            QCOMPARE(console->execute("event 94 2C 01 05").status, ConsoleInterpreter::Status::Ok);
            QTRY_COMPARE_WITH_TIMEOUT(status(display), QString(" money= 300  channel= 5"),
                                      Patience);
            QCOMPARE(text(display, "Text1_0"), QString("300"));
        }
        MemoryWindow memory(rig->core);
        memory.show();
        QCOMPARE(console->execute("event AA 0C C8 03").status, ConsoleInterpreter::Status::Ok);
        QTRY_VERIFY_WITH_TIMEOUT(status(memory).startsWith("cntAH=12($C)"), Patience);
        QCOMPARE(text(memory, "Text1"), QString("170"));
    }

    void bothMonitorsSeeEveryMessage()
    {
        DisplayWindow display(rig->core);
        display.show();
        QPointer<MemoryWindow> memory = new MemoryWindow(rig->core);
        memory->show();
        // A stray byte runs into the first event; the three after it come whole, well apart.
        const auto start = std::chrono::steady_clock::now();
        int i = 0;
        for (const char* event : {"FFAA01C80376", "AA02C80377", "950A0003A2", "942C0105C6"}) {
            const QByteArray bytes = QByteArray::fromHex(event);
            rig->simulator.sendBytesAt({bytes.begin(), bytes.end()},
                                       start + std::chrono::milliseconds(100) * i++);
        }
        const QString money(" money= 300  channel= 5");
        QTRY_COMPARE_WITH_TIMEOUT(status(display), money, Patience);
        QTRY_COMPARE_WITH_TIMEOUT(status(*memory), money, Patience);
        QCOMPARE(text(display, "Text1_1"), QString("10"));
        for (QWidget* window : std::initializer_list<QWidget*>{&display, memory}) // said as shown
            QCOMPARE(QAccessible::queryAccessibleInterface(window->findChild<QLabel*>("labelStats"))
                         ->text(QAccessible::Name),
                     money);
        memory->findChild<QPushButton*>("Command2")->click();
        QTRY_VERIFY(memory.isNull());
        QCOMPARE(FileBytes::read(AppPaths::dataFile(AppPaths::EventLogFileName)),
                 QByteArray("cntah,time1,time2\r\n2,200,3\r\n"));
    }

    void theMemoryWindowQueriesAndPrograms()
    {
        MemoryWindow memory(rig->core);
        memory.show();
        memory.findChild<QPushButton*>("Command4")->click();
        const QStringList id{"9A", "53", "49", "4D", "83"};
        QTRY_COMPARE_WITH_TIMEOUT(
            (QStringList{text(memory, "Text6"), text(memory, "Text7"), text(memory, "Text8"),
                         text(memory, "Text9"), text(memory, "Text10")}),
            id, Patience);

        memory.findChild<QLineEdit*>("m_10")->setText("77");
        memory.findChild<QPushButton*>("Command1")->click();
        QTRY_COMPARE_WITH_TIMEOUT(rig->simulator.countReceived(LinkCommands::EndOfBlockLead), 1,
                                  Patience);
        QTRY_VERIFY_WITH_TIMEOUT(!rig->core.link().isBusy(), Patience);
        QCOMPARE(rig->simulator.countReceived(LinkCommands::WriteLead), 189);
        QCOMPARE(rig->simulator.memoryAt(10), std::uint8_t{77});
    }
};

QTEST_MAIN(MonitorOverPtyTest)
#include "MonitorOverPtyTest.moc"
