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
            {{dev.filePath("ttyUSB0"), {}, {}, {}, {}, {}, {}},
             {dev.filePath("ttyUSB1"), stable, "FT232R USB UART", "FTDI", "A50285BI", {}, {}}});
        QCOMPARE(choices.names(),
                 QStringList({dev.filePath("ttyUSB0"), stable, dev.filePath("ttyUSB1")}));
        QCOMPARE(choices.describe(stable), "FT232R USB UART, FTDI, serial number A50285BI");
        QCOMPARE(choices.describe(dev.filePath("ttyUSB0")), "a serial device with no description");
        QCOMPARE(choices.describe("/dev/pts/7"), "not listed by the system");
        // Only the kernel name of an adapter that has a stable name is worth a warning.
        QCOMPARE(choices.stableNameInsteadOf(" " + dev.filePath("ttyUSB1")), stable);
        QCOMPARE(choices.stableNameInsteadOf(stable), QString());
        QCOMPARE(choices.stableNameInsteadOf(dev.filePath("ttyUSB0")), QString());

        // A Com item mapped by either name belongs to the device.
        QSettings settings;
        settings.setValue("Ports/Com2", dev.filePath("ttyUSB1"));
        settings.setValue("Ports/Com9", stable);
        QCOMPARE(choices.comItemsOf(choices.devices()[1], settings), QStringList({"Com2", "Com9"}));
        QCOMPARE(choices.comItemsOf(choices.devices()[0], settings), QStringList());
    }

    // A name as typed or stored, the name the system lists the device by and how the device
    // is shown; both systems' rules, whichever this one is.
    void aNameIsComparedInTheSystemsOwnForm_data()
    {
        QTest::addColumn<PortNaming>("naming");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("shown");
        const PortNaming windows = PortNaming::Windows;
        const PortNaming unix = PortNaming::Unix;
        QTest::newRow("COM3") << windows << "COM3"
                              << R"(\\.\COM3)"
                              << R"(\\.\COM3)" << true << "COM3";
        QTest::newRow("com3 in blanks") << windows << " com3\t"
                                        << R"(\\.\com3)"
                                        << R"(\\.\COM3)" << true << "COM3";
        QTest::newRow("device name") << windows << R"(\\.\COM3)"
                                     << R"(\\.\COM3)"
                                     << R"(\\.\COM3)" << true << "COM3";
        QTest::newRow("COM13 is not COM3") << windows << "COM13"
                                           << R"(\\.\COM13)"
                                           << R"(\\.\COM3)" << false << "COM3";
        QTest::newRow("ttyS0") << unix << "ttyS0"
                               << "/dev/ttyS0"
                               << "/dev/ttyS0" << true << "/dev/ttyS0";
        QTest::newRow("path in blanks") << unix << "  DEV/ttyS0 "
                                        << "DEV/ttyS0"
                                        << "DEV/ttyS0" << true << "DEV/ttyS0";
        QTest::newRow("by-id link") << unix << "DEV/serial/by-id/usb-0"
                                    << "DEV/serial/by-id/usb-0"
                                    << "DEV/ttyUSB0" << true << "DEV/ttyUSB0";
        QTest::newRow("ttyS1 is not ttyS0") << unix << "ttyS1"
                                            << "/dev/ttyS1"
                                            << "/dev/ttyS0" << false << "/dev/ttyS0";
    }
    void aNameIsComparedInTheSystemsOwnForm()
    {
        QFETCH(PortNaming, naming);
        QFETCH(QString, typed);
        QFETCH(QString, system);
        QFETCH(QString, listed);
        QFETCH(bool, found);
        QFETCH(QString, shown);
        // Links are followed in a device folder of ours.
        const QString dev = environment.path("dev");
        QDir(dev).mkpath("serial/by-id");
        QFile(dev + "/ttyUSB0").open(QIODevice::WriteOnly);
        QFile::link(dev + "/ttyUSB0", dev + "/serial/by-id/usb-0");
        for (QString* name : {&typed, &system, &listed, &shown})
            name->replace("DEV", dev);

        QCOMPARE(PortChoices::systemName(typed, naming), system);
        const PortChoices choices({{listed, {}, {}, {}, {}, {}, {}}}, naming);
        QCOMPARE(choices.find(typed) != nullptr, found);
        QCOMPARE(choices.names(), QStringList{shown});
    }

    // What the system tells of a device's driver and its adapter's latency timer.
    void theDriverAndLatencyTimerAreReadWhereTheSystemTellsThem_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QByteArray>("timer"); // the file's bytes; null: no file
        QTest::addColumn<int>("milliseconds"); // -1: none
        QTest::newRow("default timer") << "ftdi_sio" << QByteArray("16\n") << 16;
        QTest::newRow("low latency") << "ftdi_sio" << QByteArray("1") << 1;
        QTest::newRow("no timer") << "cdc_acm" << QByteArray() << -1;
        QTest::newRow("not a number") << "ftdi_sio" << QByteArray("fast\n") << -1;
        QTest::newRow("nothing told") << "" << QByteArray() << -1;
    }
    void theDriverAndLatencyTimerAreReadWhereTheSystemTellsThem()
    {
        QFETCH(QString, driver);
        QFETCH(QByteArray, timer);
        QFETCH(int, milliseconds);
        const QString sys = environment.path(QTest::currentDataTag());
        QDir(sys).mkpath("ttyUSB0/device");
        if (!driver.isEmpty())
            QVERIFY(QFile::link(sys + "/bus/usb-serial/drivers/" + driver,
                                sys + "/ttyUSB0/device/driver"));
        QFile file(sys + "/ttyUSB0/device/latency_timer");
        QVERIFY(timer.isNull() || (file.open(QIODevice::WriteOnly) && file.write(timer)));
        file.close();

        SerialDevice device{"/dev/ttyUSB0", {}, {}, {}, {}, {}, {}};
        PortChoices::readDeviceInfo(device, sys);
        QCOMPARE(device.driver, driver);
        QCOMPARE(device.latencyTimerMs.value_or(-1), milliseconds);
    }
};

QTEST_GUILESS_MAIN(PortChoicesTest)
#include "PortChoicesTest.moc"
