// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortReport.h"
#include "AppTestEnvironment.h"
#include "PortChoices.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

// The listing as a technician on Windows sees it: the device as the system writes it, mapped
// by the name the technician typed, and an adapter's driver and latency timer where told.
class PortReportTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;

private slots:
    void aDeviceIsListedByItsShownNameWithItsDriverAndTimer()
    {
        environment.reset();
        QSettings settings;
        settings.setValue("Ports/Com3", " com3");
        const PortChoices choices({{R"(\\.\COM3)", {}, "USB Serial Port", {}, {}, "FTDIBUS", 16},
                                   {R"(\\.\COM1)", {}, {}, {}, {}, {}, {}}},
                                  PortNaming::Windows);

        const QString text = PortReport::text(choices, settings);
        QVERIFY2(text.startsWith("COM3  mapped to Com3\n"
                                 "    description    USB Serial Port\n"
                                 "    driver         FTDIBUS\n"
                                 "    latency timer  16 ms\n"
                                 "COM1\n"
                                 "\n"),
                 qPrintable(text));

        const QJsonArray devices = PortReport::json(choices, settings)["devices"].toArray();
        QCOMPARE(devices[0]["device"].toString(), "COM3");
        QCOMPARE(devices[0]["comItems"].toArray(), QJsonArray{"Com3"});
        QCOMPARE(devices[0]["latencyTimerMs"].toInt(), 16);
        QVERIFY(!devices[1].toObject().contains("latencyTimerMs"));
    }
};

QTEST_GUILESS_MAIN(PortReportTest)
#include "PortReportTest.moc"
