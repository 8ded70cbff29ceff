// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowPlacement.h"
#include "PortMap.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class WindowPlacementTest : public QObject
{
    Q_OBJECT
private slots:
    void storedValuesThatAreNotNumbersKeepTheirDefaults()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("t.conf"), QSettings::IniFormat);
        settings.setValue("Settings/MainLeft", "abc");
        settings.setValue("Settings/MainTop", "250");
        settings.setValue("Settings/MainWidth", "");
        const WindowPlacement::Twips placement = WindowPlacement::load(settings);
        QCOMPARE(placement.left, 1000);
        QCOMPARE(placement.top, 250);
        QCOMPARE(placement.width, 6500);
        QCOMPARE(placement.height, 6500);

        WindowPlacement::store(settings, {1, 2, 3, 4});
        QCOMPARE(settings.value("Settings/MainHeight").toString(), QString("4"));
    }

    void twipsConvertAtTheScreensResolution()
    {
        QCOMPARE(WindowPlacement::twipsToPixels(1440, 96), 96);
        QCOMPARE(WindowPlacement::twipsToPixels(6500, 96), 433);
        QCOMPARE(WindowPlacement::twipsToPixels(1440, 144), 144);
        QCOMPARE(WindowPlacement::pixelsToTwips(433, 96), 6495);
        QCOMPARE(WindowPlacement::pixelsToTwips(96, 192), 720);
    }

    void aWindowOffEveryScreenMovesToThePrimary()
    {
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        const QRect primary = screens.first();
        QCOMPARE(WindowPlacement::keptOnScreen(QRect(2000, 100, 400, 400), screens, primary),
                 QRect(2000, 100, 400, 400));
        QCOMPARE(WindowPlacement::keptOnScreen(QRect(5000, 3000, 400, 400), screens, primary),
                 QRect(0, 0, 400, 400));
    }

    void portsMapToDevicesFromTheSettings()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("t.conf"), QSettings::IniFormat);
        settings.setValue("Ports/Com1", "/dev/pts/7");
        QCOMPARE(PortMap::device(settings, 1), QString("/dev/pts/7"));
        QCOMPARE(PortMap::device(settings, 2), PortMap::defaultDevice(2));
        QVERIFY(PortMap::defaultDevice(9) != PortMap::defaultDevice(1));
    }
};

QTEST_GUILESS_MAIN(WindowPlacementTest)
#include "WindowPlacementTest.moc"
