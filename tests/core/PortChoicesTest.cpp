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

    // A name as typed or stored, as the system writes it, and the device it names among those
    // listed: both systems' rules, whichever this one is.
    void aNameIsComparedInTheSystemsOwnForm_data()
    {
        QTest::addColumn<PortNaming>("naming");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("device"); // empty: none listed
        const auto row = [](const char* tag, PortNaming naming, const char* typed,
                            const char* system, const char* device) {
            QTest::newRow(tag) << naming << QString(typed) << QString(system) << QString(device);
        };
        const PortNaming windows = PortNaming::Windows;
        row("COM3", windows, "COM3", R"(\\.\COM3)", R"(\\.\COM3)");
        row("com3 in blanks", windows, " com3\t", R"(\\.\com3)", R"(\\.\COM3)");
        row("device name", windows, R"(\\.\COM3)", R"(\\.\COM3)", R"(\\.\COM3)");
        row("COM13", windows, "COM13", R"(\\.\COM13)", "");
        row("ttyS0", PortNaming::Unix, "ttyS0", "/dev/ttyS0", "/dev/ttyS0");
        row("path in blanks", PortNaming::Unix, " DEV/ttyUSB0 ", "DEV/ttyUSB0", "DEV/ttyUSB0");
        row("by-id link", PortNaming::Unix, "DEV/by-id/usb-0", "DEV/by-id/usb-0", "DEV/ttyUSB0");
        row("ttyS1", PortNaming::Unix, "ttyS1", "/dev/ttyS1", "");
    }
    void aNameIsComparedInTheSystemsOwnForm()
    {
        QFETCH(PortNaming, naming);
        QFETCH(QString, typed);
        QFETCH(QString, system);
        QFETCH(QString, device);
        const QString dev = environment.path("dev"); // links are followed in a folder of ours
        QDir(dev).mkpath("by-id");
        QFile(dev + "/ttyUSB0").open(QIODevice::WriteOnly);
        QFile::link(dev + "/ttyUSB0", dev + "/by-id/usb-0");
        for (QString* name : {&typed, &system, &device})
            name->replace("DEV", dev);
        const PortChoices choices({{R"(\\.\COM3)", {}, {}, {}, {}, {}, {}},
                                   {"/dev/ttyS0", {}, {}, {}, {}, {}, {}},
                                   {dev + "/ttyUSB0", {}, {}, {}, {}, {}, {}}},
                                  naming);
        QCOMPARE(PortName::systemName(typed, naming), system);
        const SerialDevice* found = choices.find(typed);
        QCOMPARE(found ? found->location : QString(), device);
        QCOMPARE(PortName::shownName(R"(\\.\COM3)", naming),
                 naming == PortNaming::Windows ? "COM3" : R"(\\.\COM3)");
    }

    // The one rule for "the same port", either way round: a name typed empty or blank is no
    // port, so it is never the same as another, not even another blank one.
    void twoNamesAreOnePortInTheSystemsFormWithLinksFollowed_data()
    {
        QTest::addColumn<PortNaming>("naming");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("same");
        const auto row = [](const char* tag, PortNaming naming, const char* first,
                            const char* second, bool same) {
            QTest::newRow(tag) << naming << QString(first) << QString(second) << same;
        };
        const PortNaming unix = PortNaming::Unix;
        const PortNaming windows = PortNaming::Windows;
        row("bare and /dev name", unix, "ttyUSB0", "/dev/ttyUSB0", true);
        row("bare names apart", unix, "ttyUSB0", "ttyUSB1", false);
        row("link and target", unix, "DEV/by-id/usb-0", "DEV/ttyUSB0", true);
        row("link and another", unix, "DEV/by-id/usb-0", "DEV/ttyUSB1", false);
        row("blanks around", unix, " DEV/ttyUSB0\t", "DEV/by-id/usb-0", true);
        row("empty twice", unix, "", "", false);
        row("blank and empty", unix, " \t", "", false);
        row("blank and a device", unix, "  ", "DEV/ttyUSB0", false);
        row("COM3 and device name", windows, "COM3", R"(\\.\COM3)", true);
        row("case apart", windows, " com3", R"(\\.\COM3)", true);
        row("COM3 and COM13", windows, "COM3", "COM13", false);
        row("blank on Windows", windows, " ", R"(\\.\)", false);
    }
    void twoNamesAreOnePortInTheSystemsFormWithLinksFollowed()
    {
        QFETCH(PortNaming, naming);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, same);
        QDir dev(environment.path("dev"));
        QVERIFY(dev.mkpath("by-id"));
        for (const char* name : {"ttyUSB0", "ttyUSB1"})
            QVERIFY(QFile(dev.filePath(name)).open(QIODevice::WriteOnly));
        QFile::link(dev.filePath("ttyUSB0"), dev.filePath("by-id/usb-0"));
        first.replace("DEV", dev.path());
        second.replace("DEV", dev.path());
        QCOMPARE(PortName::same(first, second, naming), same);
        QCOMPARE(PortName::same(second, first, naming), same);
    }

    // What the system tells of a device's driver and its adapter's latency timer.
    void theDriverAndLatencyTimerAreReadWhereTheSystemTellsThem_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QByteArray>("timer"); // the file's bytes; null: no file
        QTest::addColumn<int>("milliseconds"); // -1: none
        QTest::newRow("default timer") << "ftdi_sio" << QByteArray("16\n") << 16;
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
