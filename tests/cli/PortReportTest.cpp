// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortReport.h"
#include "AppTestEnvironment.h"
#include "PortChoices.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

class PortReportTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;

private slots:
    // As a technician on Windows sees it: the device as the system writes it, mapped by the
    // name typed, with the adapter's driver and latency timer.
    void aDeviceIsListedByItsShownNameWithItsDriverAndTimer()
    {
        environment.reset();
        QSettings settings;
        settings.setValue("Ports/Com3", " com3");
        const PortChoices choices({{R"(\\.\COM3)", {}, {}, {}, {}, "FTDIBUS", 16}},
                                  PortNaming::Windows);
        const QString text = PortReport::text(choices, settings);
        QVERIFY2(text.startsWith("COM3  mapped to Com3\n"
                                 "    driver         FTDIBUS\n"
                                 "    latency timer  16 ms\n\n"),
                 qPrintable(text));
        const QJsonObject listed = PortReport::json(choices, settings)["devices"][0].toObject();
        QCOMPARE(listed["device"].toString(), "COM3");
        QCOMPARE(listed["latencyTimerMs"].toInt(), 16);
    }
};

QTEST_GUILESS_MAIN(PortReportTest)
#include "PortReportTest.moc"
