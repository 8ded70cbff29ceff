// SPDX-License-Identifier: GPL-3.0-or-later
#include "SamplingWindow.h"
#include "AppTestEnvironment.h"
#include "ApplicationCore.h"
#include "CoinDataFile.h"
#include "CoinReportBytes.h"
#include "FakeCoreRig.h"
#include "FileBytes.h"
#include "ParameterMap.h"
#include "SelectorLink.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

class SamplingWindowTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<FakeCoreRig> rig;

    SelectorImage& image() { return rig->core.image(); }
    bool awaitingCoin()
    {
        return pumpUntil(rig->clock, [&] {
            return rig->core.link().isWaiting() &&
                   rig->core.link().receiveThreshold() == SelectorLink::ReportThreshold;
        });
    }
    void setFactors(int multiplyA, int divideA, int multiplyB, int divideB)
    {
        image().setNumber(ParameterMap::MultiplyFactorA, multiplyA);
        image().setNumber(ParameterMap::DivideFactorA, divideA);
        image().setNumber(ParameterMap::MultiplyFactorB, multiplyB);
        image().setNumber(ParameterMap::DivideFactorB, divideB);
    }
    static QLineEdit* money(SamplingWindow& window, int channel)
    {
        return window.findChild<QLineEdit*>(QStringLiteral("money_%1").arg(channel));
    }
    static QString status(SamplingWindow& window)
    {
        return window.findChild<QLabel*>("labelStats")->text();
    }

private slots:
    void cleanup() { rig.reset(); }
    void init()
    {
        environment.reset();
        rig = std::make_unique<FakeCoreRig>();
        rig->port->open("fake");
        for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin)
            image().setNumber(ParameterMap::money(coin), 10 * coin);
    }

    void moneyIsShownThroughTheFactorsAndWrittenBackOnExit_data()
    {
        QTest::addColumn<QList<int>>("factors"); // multiply A, divide A, multiply B, divide B
        QTest::addColumn<QString>("coin1Shown");
        QTest::addColumn<QString>("coin6Shown"); // the last of bank A beside the first of B
        QTest::addColumn<QString>("coin7Shown");
        QTest::addColumn<QString>("coin1Written"); // coin 1's box set to "5" before exit
        QTest::newRow("both banks") << QList<int>{5, 20, 3, 2} << "2.5"
                                    << "15"
                                    << "105"
                                    << "20";
        // A zero divisor in either bank converts no box; exit then must not write the design
        // text "255" back as an amount.
        QTest::newRow("divide B zero") << QList<int>{5, 20, 3, 0} << "255"
                                       << "255"
                                       << "255"
                                       << "10";
        QTest::newRow("divide A zero") << QList<int>{5, 0, 3, 2} << "255"
                                       << "255"
                                       << "255"
                                       << "10";
        QTest::newRow("multiply B zero") << QList<int>{5, 20, 0, 2} << "2.5"
                                         << "15"
                                         << "0"
                                         << "10";
    }
    void moneyIsShownThroughTheFactorsAndWrittenBackOnExit()
    {
        QFETCH(QList<int>, factors);
        QFETCH(QString, coin1Shown);
        QFETCH(QString, coin6Shown);
        QFETCH(QString, coin7Shown);
        QFETCH(QString, coin1Written);
        setFactors(factors[0], factors[1], factors[2], factors[3]);
        auto* window = new SamplingWindow(rig->core, 0);
        QCOMPARE(money(*window, 0)->text(), coin1Shown);
        QCOMPARE(money(*window, 5)->text(), coin6Shown);
        QCOMPARE(money(*window, 6)->text(), coin7Shown);
        money(*window, 0)->setText("5");
        money(*window, 1)->setText("not a number");
        QPointer<SamplingWindow> guard(window);
        window->findChild<QPushButton*>("Command3")->click();
        QTRY_VERIFY(guard.isNull());
        QCOMPARE(image().cell(ParameterMap::money(1)), coin1Written);
        QCOMPARE(image().cell(ParameterMap::money(2)), QString("20"));
        QCOMPARE(image().cell(ParameterMap::money(3)),
                 QString("30")); // an untouched box: 7.5 and back
        // Untouched on both sides of the banks' boundary, each through its own bank's factors.
        QCOMPARE(image().cell(ParameterMap::money(6)), QString("60"));
        QCOMPARE(image().cell(ParameterMap::money(7)), QString("70"));
    }

    void theModeSetsCaptionAndStatusLine_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("strch");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<bool>("channelsShown");
        QTest::newRow("teaching") << 0 << "1 2"
                                  << "Sampling"
                                  << "press  \"Insert\"  !!" << false;
        QTest::newRow("re-teach none")
            << -1 << " "
            << "Calibration"
            << "You can press \"Program to coin selector\" directly !!" << false;
        QTest::newRow("re-teach empty") << -1 << ""
                                        << "Calibration"
                                        << "Press \"Insert\" for channels:" << true;
    }
    void theModeSetsCaptionAndStatusLine()
    {
        QFETCH(int, operation);
        QFETCH(QString, strch);
        QFETCH(QString, title);
        QFETCH(QString, statusText);
        QFETCH(bool, channelsShown);
        rig->core.setStrch(strch);
        SamplingWindow window(rig->core, operation);
        window.show();
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(status(window), statusText);
        auto* channels = window.findChild<QLabel*>("STRCH2");
        QCOMPARE(channels->isVisible(), channelsShown);
        if (operation != 0)
            QCOMPARE(channels->text(), strch);
        for (const char* hidden : {"Label13", "Text1", "Text2", "interrept"})
            QVERIFY2(!window.findChild<QWidget*>(hidden)->isVisible(), hidden);
    }

    // After a coin data file was programmed (cdt 1) teaching keeps the file's tolerance.
    void insertTeachesOneChannelAndShowsTheRun_data()
    {
        QTest::addColumn<int>("cdt");
        QTest::addColumn<int>("cdtAtWrite");
        QTest::addColumn<QString>("cgma");
        QTest::newRow("no file programmed") << 0 << 0 << "10";
        QTest::newRow("a file programmed") << 1 << 1 << "7";
        // cdt counts when the results are written, not at Insert
        QTest::newRow("a file programmed during the run") << 0 << 1 << "7";
    }
    void insertTeachesOneChannelAndShowsTheRun()
    {
        QFETCH(int, cdt);
        QFETCH(int, cdtAtWrite);
        QFETCH(QString, cgma);
        rig->core.setCdt(cdt);
        image().setNumber(ParameterMap::cgma(7), 7);
        SamplingWindow window(rig->core, 0);
        window.show();
        auto* counters = window.findChild<QWidget*>("Label13");
        auto* accepted = window.findChild<QLineEdit*>("Text1");
        window.findChild<QPushButton*>("insert_6")->click();
        QVERIFY(counters->isVisible());
        QCOMPARE(window.findChild<QLineEdit*>("Text2")->text(), QString("12"));
        QVERIFY(awaitingCoin());
        // No second run while this one holds the link.
        QVERIFY(!window.findChild<QPushButton*>("insert_0")->isEnabled());

        const QByteArray coin = coinReportBytes(0x90, 0x12, 0x34, 5, 0x50, 0x80, 0x7E);
        for (int k = 1; k <= 12; ++k) {
            QCOMPARE(accepted->text(), QString::number(k - 1));
            QCOMPARE(window.findChild<QProgressBar*>("bar_6")->value(), k);
            if (k == 12)
                rig->core.setCdt(cdtAtWrite);
            rig->port->receive(coin);
            QVERIFY(k == 12 || awaitingCoin());
        }
        rig->clock.advance(SelectorLink::ResyncGapHundredths); // the last report is whole
        QCOMPARE(window.findChild<QProgressBar*>("bar_6")->maximum(), 12); // full at the end
        QCOMPARE(status(window), QString("Sampling ok :34 12 A 0 0 50 (0 81) (0 7F)"));
        QVERIFY(!counters->isVisible());
        QVERIFY(!window.findChild<QWidget*>("interrept")->isVisible());
        QCOMPARE(image().cell(ParameterMap::ea(7)), QString("52"));
        QCOMPARE(image().cell(ParameterMap::m1(7)), QString("129"));
        QCOMPARE(image().cell(ParameterMap::cgma(7)), cgma);
        QVERIFY(rig->port->written.endsWith(QByteArray::fromHex("840102038A")));
        QVERIFY(pumpUntil(rig->clock, [&] { return !rig->core.link().isBusy(); }));
        QVERIFY(window.findChild<QPushButton*>("insert_0")->isEnabled());
    }

    void cancelAndClosingEndTheRunWithTheStopFrame()
    {
        const SelectorImage before = image();
        auto* window = new SamplingWindow(rig->core, 0);
        window->show();
        window->findChild<QPushButton*>("insert_2")->click();
        QVERIFY(awaitingCoin());
        rig->port->receive(coinReportBytes(0x90, 0x12, 0x34, 5, 0x50, 0x80, 0x7E));
        window->findChild<QPushButton*>("interrept")->click();
        QVERIFY(pumpUntil(rig->clock, [&] { return !rig->core.link().isBusy(); }));
        QCOMPARE(status(*window), QString("User terminate Insert !"));
        QCOMPARE(image(), before);
        QCOMPARE(rig->port->written.count(QByteArray::fromHex("840102038A")), 1);

        window->findChild<QPushButton*>("insert_2")->click();
        QVERIFY(awaitingCoin());
        window->close(); // deleted on close, its run with it
        QVERIFY(pumpUntil(rig->clock, [&] { return !rig->core.link().isBusy(); }));
        QCOMPARE(rig->port->written.count(QByteArray::fromHex("840102038A")), 2);
        QCOMPARE(image(), before);
    }

    void saveAsSavesTheImageAndSaysItsOwnFailure()
    {
        setFactors(1, 1, 1, 1);
        SamplingWindow window(rig->core, 0);
        money(window, 0)->setText("99");
        const QString target = environment.path("taught.cdt");
        QString chosen = target;
        window.setSaveFileChooser(
            [&](const QString& title) { return title == "save file" ? chosen : QString(); });
        window.findChild<QPushButton*>("Command1")->click();
        QCOMPARE(rig->core.currentFileName(), target);
        SelectorImage saved;
        QCOMPARE(CoinDataFile::load(target, saved), CoinDataFile::LoadResult::Loaded);
        QCOMPARE(saved.cell(ParameterMap::money(1)), QString("10"));

        rig->core.showStatus("main line", StatusColour::Blue);
        chosen = target + "/below-a-file.cdt";
        window.findChild<QPushButton*>("Command1")->click();
        QVERIFY(status(window).startsWith("Can not save file "));
        QCOMPARE(rig->core.statusText(), QString("main line"));
    }
};

QTEST_MAIN(SamplingWindowTest)
#include "SamplingWindowTest.moc"
