// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationWindow.h"
#include "CalibrationBench.h"
#include "CoinReportBytes.h"

#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

class CalibrationWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CalibrationBench> bench;

    bool awaitingCoin() { return bench->awaitingCoin(); }
    template <typename T> static T* child(QWidget& window, const char* name)
    {
        return window.findChild<T*>(name);
    }
    static bool runControlsShown(QWidget& window)
    {
        return child<QWidget>(window, "Label13")->isVisible() &&
               child<QWidget>(window, "Text1")->isVisible() &&
               child<QWidget>(window, "Text2")->isVisible();
    }

private slots:
    void init()
    {
        bench = std::make_unique<CalibrationBench>();
        bench->core.setToken(2);
    }
    void cleanup() { bench.reset(); }

    void insertCalibratesAndShowsTheRun()
    {
        CalibrationWindow window(bench->core);
        window.show();
        QCOMPARE(window.windowTitle(), QString("Global Calibration"));
        QCOMPARE(child<QLabel>(window, "labelStats")->text(), QString("press  \"insert\"  !!"));
        QVERIFY(!runControlsShown(window));
        QVERIFY(!child<QWidget>(window, "interrept")->isVisible());
        QVERIFY(!child<QWidget>(window, "runView")->isVisible()); // until the first run

        auto* insert = child<QPushButton>(window, "insert_0");
        insert->click();
        QVERIFY(runControlsShown(window));
        QCOMPARE(child<QLineEdit>(window, "Text2")->text(), QString("40"));
        QVERIFY(awaitingCoin());
        QVERIFY(!insert->isEnabled()); // the run holds the link
        insert->click();
        QCOMPARE(bench->port->written.size(), 1); // no second run

        // AB 0x1D00: high byte 29, which the check refuses.
        const QByteArray coin = coinReportBytes(0x90, 0x1D, 0x00, 5, 0x6B, 0x20, 69);
        auto* bar = child<QProgressBar>(window, "bar");
        for (int n = 1; n <= 40; ++n) {
            QCOMPARE(child<QLineEdit>(window, "Text1")->text(), QString::number(n - 1));
            QCOMPARE(bar->value(), n);
            bench->port->receive(coin);
            QVERIFY(n == 40 || awaitingCoin());
        }
        bench->clock.advance(SelectorLink::ResyncGapHundredths); // the last report is whole
        QCOMPARE(bar->maximum(), 40);
        auto* pickOut = child<QLabel>(window, "LabelPickOut");
        QVERIFY(pickOut->isVisible());
        QCOMPARE(pickOut->text(), QStringLiteral(" 請剔出本台投幣器 !!  (BD = 29)"));
        QCOMPARE(child<QLabel>(window, "labelStats")->text(),
                 QString("Sampling ok :0 1D 0 0 20 6B 0 46"));
        // The same results in decimal beside the measurements.
        QVERIFY(child<QWidget>(window, "runView")->isVisible());
        QCOMPARE(child<QLabel>(window, "runViewResult")->text(),
                 QString("AB 7424 (spread 0), XY 27424 (spread 0), BM 70 (spread 0)"));
        // The coins are counted as drops: "coin" would read as a channel.
        const auto* chart = child<QChartView>(window, "runViewChart")->chart();
        QCOMPARE(chart->axes(Qt::Horizontal).value(0)->titleText(), QString("drop"));
        QVERIFY(runControlsShown(window)); // until the record is programmed
        auto* cancel = child<QWidget>(window, "interrept");
        QVERIFY(cancel->isVisible()); // for as long as it can stop the programming
        QVERIFY(
            pumpUntil(bench->clock, [&] { return !bench->selector.writtenAddresses.isEmpty(); }));
        QVERIFY(!cancel->isVisible());
        QVERIFY(bench->runLinkUntilIdle());
        QVERIFY(!runControlsShown(window));
        QVERIFY(!child<QWidget>(window, "interrept")->isVisible());
        QVERIFY(insert->isEnabled());
        insert->click(); // the next run does not show the last one's refusal
        QVERIFY(!pickOut->isVisible());
    }

    void aRunThatEndsEarlyLeavesItsCountersUp_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("status");
        QTest::newRow("Cancel") << "Cancel"
                                << "User terminate Insert !";
        QTest::newRow("no start reply") << "silent"
                                        << "Coin Selector error";
    }
    void aRunThatEndsEarlyLeavesItsCountersUp()
    {
        QFETCH(QString, ending);
        QFETCH(QString, status);
        if (ending == "silent")
            for (int request = 0; request < 5; ++request)
                bench->selector.setFault(request, FakeSelector::Fault::Silent);
        CalibrationWindow window(bench->core);
        window.show();
        child<QPushButton>(window, "insert_0")->click();
        if (ending == "Cancel") {
            QVERIFY(awaitingCoin());
            child<QPushButton>(window, "interrept")->click();
            QVERIFY(!child<QWidget>(window, "interrept")->isVisible());
        }
        QVERIFY(bench->runLinkUntilIdle());
        QCOMPARE(child<QLabel>(window, "labelStats")->text(), status);
        QVERIFY(runControlsShown(window));
        QVERIFY(!child<QWidget>(window, "interrept")->isVisible());
        QVERIFY(child<QPushButton>(window, "insert_0")->isEnabled());
    }

    void exitDuringARunStopsItAndClosesTheWindow()
    {
        QPointer<CalibrationWindow> window = new CalibrationWindow(bench->core);
        window->show();
        child<QPushButton>(*window, "insert_0")->click();
        QVERIFY(awaitingCoin());
        bench->port->receive(coinReportBytes(0x90, 0x1C, 0x20, 5, 0x6B, 0x20, 69));
        child<QPushButton>(*window, "Command3")->click();
        QTRY_VERIFY(window.isNull());
        QCOMPARE(bench->port->written.count(QByteArray::fromHex("840102038A")), 1);
        QVERIFY(bench->runLinkUntilIdle());
    }
};

QTEST_MAIN(CalibrationWindowTest)
#include "CalibrationWindowTest.moc"
