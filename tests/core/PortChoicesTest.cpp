// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortChoices.h"
#include "AppTestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

// A device folder of plain files stands in for /dev: the stable names are links, as there.
class PortChoicesTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;

private slots:
    void aStableNameLeadsToItsDeviceAndComesFirst()
    {
        environment.reset();
        QDir dev(environment.path("dev"));
        QVERIFY(dev.mkpath("serial/by-id"));
        for (const char* name : {"ttyUSB0", "ttyUSB1"}) {
            QFile device(dev.filePath(name));
            QVERIFY(device.open(QIODevice::WriteOnly));
        }
        const QString stable = dev.filePath("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
        QVERIFY(QFile::link("../../ttyUSB1", stable));
        QCOMPARE(PortChoices::stableNameOf(dev.filePath("ttyUSB1"), dev.filePath("serial/by-id")),
                 stable);
        QCOMPARE(PortChoices::stableNameOf(dev.filePath("ttyUSB0"), dev.filePath("serial/by-id")),
                 QString());

        const PortChoices choices(
            {{dev.filePath("ttyUSB0"), {}, {}, {}, {}},
             {dev.filePath("ttyUSB1"), stable, "FT232R USB UART", "FTDI", "A50285BI"}});
        QCOMPARE(choices.names(),
                 QStringList({dev.filePath("ttyUSB0"), stable, dev.filePath("ttyUSB1")}));
        QCOMPARE(choices.describe(stable), "FT232R USB UART, FTDI, serial number A50285BI");
        QCOMPARE(choices.describe(dev.filePath("ttyUSB0")), "a serial device with no description");
        QCOMPARE(choices.describe("/dev/pts/7"), "not listed by the system");

        // A Com item mapped by either name belongs to the device.
        QSettings settings;
        settings.setValue("Ports/Com2", dev.filePath("ttyUSB1"));
        settings.setValue("Ports/Com9", stable);
        QCOMPARE(choices.comItemsOf(choices.devices()[1], settings), QStringList({"Com2", "Com9"}));
        QCOMPARE(choices.comItemsOf(choices.devices()[0], settings), QStringList());
    }
};

QTEST_GUILESS_MAIN(PortChoicesTest)
#include "PortChoicesTest.moc"
