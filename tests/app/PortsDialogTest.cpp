// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortsDialog.h"
#include "AppTestEnvironment.h"
#include "PtyCoreRig.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

// The Check button beside a row: the port the program holds is checked through its own link
// (another open would find the port in use), any other device on a port opened for the check.
class PortsDialogTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;

private slots:
    void theCheckButtonChecksItsRowsDevice()
    {
        environment.reset();
        PtyCoreRig rig;
        QVERIFY(rig.connect());
        selectorsim::SelectorSimulator other;
        QVERIFY(other.start());
        QSettings().setValue("Ports/Com2", QString::fromStdString(other.devicePath()));
        PortsDialog dialog(rig.core);
        dialog.showMapping();
        const auto checkRow = [&dialog](int number) {
            dialog.findChild<QPushButton*>(QString("CheckPort%1").arg(number))->click();
            const auto* result = dialog.findChild<QLabel*>(QString("ResultPort%1").arg(number));
            const bool done =
                QTest::qWaitFor([result] { return !result->text().startsWith("Checking"); }, 15000);
            return done ? result->text() : QString();
        };

        QVERIFY(rig.core.link().beginOperation());
        QVERIFY(checkRow(1).startsWith("Busy: another operation uses the port"));
        rig.core.link().endOperation();
        QCOMPARE(rig.simulator.countReceived(0xE1), 0);
        QVERIFY(checkRow(1).startsWith("The selector answers"));
        QVERIFY(rig.simulator.countReceived(0xE1) > 0);
        QVERIFY(rig.core.link().isPortOpen());
        QVERIFY(checkRow(2).startsWith("The selector answers"));
        QVERIFY(other.countReceived(0xE1) > 0);
    }
};

QTEST_MAIN(PortsDialogTest)
#include "PortsDialogTest.moc"
