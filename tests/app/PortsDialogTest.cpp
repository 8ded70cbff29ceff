// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortsDialog.h"
#include "AppTestEnvironment.h"
#include "PtyCoreRig.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class PortsDialogTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;

private slots:
    // The port the program holds is checked through its own link (a second open would find it
    // in use), any other device on a port opened for the check.
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
        const auto check = [&dialog](int number) {
            dialog.findChild<QPushButton*>(QString("CheckPort%1").arg(number))->click();
            const auto* result = dialog.findChild<QLabel*>(QString("ResultPort%1").arg(number));
            return QTest::qWaitFor([result] { return !result->text().startsWith("Checking"); })
                       ? result->text()
                       : QString();
        };

        QVERIFY(rig.core.link().beginOperation());
        QVERIFY(check(1).startsWith("Busy: another operation uses the port"));
        rig.core.link().endOperation();
        QCOMPARE(rig.simulator.countReceived(0xE1), 0);
        QVERIFY(check(1).startsWith("The selector answers"));
        QVERIFY(rig.simulator.countReceived(0xE1) > 0 && rig.core.link().isPortOpen());
        QVERIFY(check(2).startsWith("The selector answers"));
        QVERIFY(other.countReceived(0xE1) > 0);
    }
};

QTEST_MAIN(PortsDialogTest)
#include "PortsDialogTest.moc"
