// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestEnvironment.h"
#include "ConsoleInterpreter.h"
#include "DisplayWindow.h"
#include "LinkCommands.h"
#include "MemoryWindow.h"
#include "PtyCoreRig.h"

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
