// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppPaths.h"
#include "AppTestEnvironment.h"
#include "ApplicationCore.h"
#include "BlockSequence.h"
#include "CoinDataFile.h"
#include "CoinFeeder.h"
#include "LinkCommands.h"
#include "MainWindow.h"
#include "ParameterMap.h"
#include "SamplingWindow.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SettingWindow.h"
#include "StatusWindow.h"
#include "SystemLinkClock.h"
#include "TerminationSignals.h"

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QTest>

#include <csignal>

using selectorsim::Fault;
using selectorsim::SelectorSimulator;

namespace {
constexpr int Patience = 20000; // ms; generous, the machine may be busy
}

class MainWindowOverPtyTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    SystemLinkClock clock;
    std::unique_ptr<SelectorSimulator> simulator;
    std::unique_ptr<ApplicationCore> core;
    std::unique_ptr<MainWindow> window;

    QSet<int> writtenAddresses() const
    {
        QSet<int> addresses;
        for (const auto& frame : simulator->receivedFrames())
            if (frame[0] == LinkCommands::WriteLead)
                addresses.insert(frame[1]);
        return addresses;
    }
    void waitForLinkIdle() { QTRY_VERIFY_WITH_TIMEOUT(!core->link().isBusy(), Patience); }

private slots:
    void init()
    {
        environment.reset();
        simulator = std::make_unique<SelectorSimulator>();
        QVERIFY2(simulator->start(), simulator->errorString().c_str());
        QSettings().setValue("Ports/Com1", QString::fromStdString(simulator->devicePath()));
        core = std::make_unique<ApplicationCore>(std::make_unique<SerialLinkPort>(), clock);
        window = std::make_unique<MainWindow>(*core);
        window->startUp();
        window->show();
        QVERIFY(core->link().isPortOpen());
    }
    void cleanup()
    {
        window.reset();
        core.reset();
        simulator.reset();
    }

    void editCoinSelectorEndToEnd()
    {
        simulator->setMemoryAt(86, 12);   // price A
        simulator->setMemoryAt(18, 0x4A); // coin 3 flags: bit 6 set, tolerance A 10
        window->findChild<QPushButton*>("ComEdit")->click();
        QTRY_VERIFY_WITH_TIMEOUT(window->editor() != nullptr, Patience);
        QVERIFY(core->opened());
        SettingWindow* editor = window->editor();
        QCOMPARE(editor->windowTitle(), QString("Edit"));
        QCOMPARE(editor->findChild<QLineEdit*>("TextPriceA")->text(), QString("12"));
        QCOMPARE(editor->findChild<QComboBox*>("ComboToleranceA3")->currentIndex(), 10);

        QTest::keyClicks(editor->findChild<QLineEdit*>("TextPriceA"), "5"); // 125
        editor->findChild<QComboBox*>("ComboToleranceA3")->setCurrentIndex(3);
        simulator->clearReceived();
        const auto before = simulator->memory();
        editor->findChild<QPushButton*>("Command2")->click();
        QTRY_VERIFY_WITH_TIMEOUT(simulator->countReceived(LinkCommands::EndOfBlockLead) == 3,
                                 Patience);
        waitForLinkIdle();

        QCOMPARE(simulator->memoryAt(86), std::uint8_t{125});
        QCOMPARE(simulator->memoryAt(18), std::uint8_t{0x43}); // bit 6 kept
        QCOMPARE(simulator->countReceived(LinkCommands::WriteLead), 184);
        const QSet<int> written = writtenAddresses();
        for (int a : {85, 124, 125, 126, 127})
            QVERIFY(!written.contains(a));
        QCOMPARE(simulator->memoryAt(85), before[85]);
        QVERIFY(editor->isVisible()); // the editor stays open
    }

    void aChannelTaughtThroughTheWindowsReachesTheSelector()
    {
        selectorsim::CoinFeeder coins(*simulator, std::chrono::milliseconds(100));
        window->findChild<QPushButton*>("ComTeach")->click();
        window->editor()->findChild<QPushButton*>("ComOK")->click();
        SamplingWindow* sampling = window->samplingWindow();
        QVERIFY(sampling);
        core->image().setNumber(ParameterMap::m1(4), 0);
        coins.dropKind(12, 4);
        sampling->findChild<QPushButton*>("insert_3")->click();
        auto* status = sampling->findChild<QLabel*>("labelStats");
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("Sampling ok :"), Patience);
        waitForLinkIdle();
        QVERIFY(core->image().value(ParameterMap::m1(4)) > 0);
        // The measurement view holds the twelve coins, kept and dropped, until the next run.
        auto* view = sampling->findChild<QWidget*>("runView");
        QVERIFY(view->isVisible());
        QMap<QString, qsizetype> points;
        for (auto* series : sampling->findChild<QChartView*>("runViewChart")->chart()->series())
            if (auto* scatter = qobject_cast<QScatterSeries*>(series))
                points[scatter->name()] = scatter->count();
        QCOMPARE(points.value("kept"), 8);
        QCOMPARE(points.value("dropped"), 4);
        auto* unsaved = sampling->findChild<QLabel*>("runViewUnsaved");
        QCOMPARE(unsaved->text(), QString("taught here, not programmed or saved: coin 4"));

        sampling->findChild<QPushButton*>("Command2")->click();
        QTRY_VERIFY_WITH_TIMEOUT(simulator->countReceived(LinkCommands::EndOfBlockLead) == 3,
                                 Patience);
        waitForLinkIdle();
        QVERIFY(!unsaved->isVisible());
        sampling->findChild<QCheckBox*>("runViewToggle")->click();
        QVERIFY(!view->isVisible());
        QCOMPARE(QSettings().value("RunView/Sampling"), QVariant(false));
        for (int a : {ParameterMap::ea(4), ParameterMap::eb(4), ParameterMap::cgma(4),
                      ParameterMap::mad(4), ParameterMap::m1(4), ParameterMap::m2(4)})
            QCOMPARE(simulator->memoryAt(a), core->image().selectorByte(a));
        QCOMPARE(simulator->memoryAt(ParameterMap::cgma(4)), std::uint8_t{10});
    }

    // Leaving while a run waits for coins stops the selector before the port closes.
    void leavingDuringTeachingStopsTheSelector_data()
    {
        QTest::addColumn<bool>("exitButton");
        QTest::newRow("Exit") << true;
        QTest::newRow("close box") << false;
    }
    void leavingDuringTeachingStopsTheSelector()
    {
        QFETCH(bool, exitButton);
        selectorsim::CoinFeeder coins(*simulator);
        window->findChild<QPushButton*>("ComTeach")->click();
        window->editor()->findChild<QPushButton*>("ComOK")->click();
        window->samplingWindow()->findChild<QPushButton*>("insert_0")->click();
        QTRY_VERIFY_WITH_TIMEOUT(core->link().receiveThreshold() == 10, Patience);
        QVERIFY(!window->findChild<QAction*>("mnuCom2")->isEnabled()); // no other port meanwhile
        if (exitButton)
            window->findChild<QPushButton*>("ComExit")->click();
        else
            window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!coins.isMeasuring(), Patience);
        QCOMPARE(simulator->countReceived(LinkCommands::StopLead), 1);
    }

    void programmingFromCoinDataShiftsTheFileForThisSelector()
    {
        // The file was taught on a selector whose record reads AB 7200, XY 50, BM 70; this one
        // reads AB 7400, XY 55, BM 70: AB moves by +200, MAD by +5, M1 stays.
        SelectorImage taught;
        for (int a = 0; a < 256; ++a)
            taught.setNumber(a, 0);
        const int fileRecord[] = {7200 % 256, 7200 / 256, 50, 70};
        const int ownRecord[] = {7400 % 256, 7400 / 256, 55, 70};
        for (int i = 0; i < 4; ++i) {
            taught.setNumber(ParameterMap::calibrationRecord(2) + i, fileRecord[i]);
            simulator->setMemoryAt(ParameterMap::calibrationRecord(2) + i,
                                   std::uint8_t(ownRecord[i]));
        }
        taught.setNumber(ParameterMap::ea(2), 7000 % 256);
        taught.setNumber(ParameterMap::eb(2), 7000 / 256);
        taught.setNumber(ParameterMap::mad(2), 80);
        taught.setNumber(ParameterMap::m1(2), 30); // too low: teach again
        const QString file = environment.path("taught.cdt");
        QVERIFY(CoinDataFile::save(file, taught));
        simulator->setMemoryAt(150, 77); // this selector's own upper memory stays

        window->setFileChooser([&](const QString&) { return file; }, {});
        window->findChild<QPushButton*>("ComProgame")->click();
        QTRY_VERIFY_WITH_TIMEOUT(window->samplingWindow() != nullptr, Patience);
        waitForLinkIdle();
        QCOMPARE(simulator->memoryAt(ParameterMap::eb(2)), std::uint8_t{7200 / 256});
        QCOMPARE(simulator->memoryAt(ParameterMap::ea(2)), std::uint8_t{7200 % 256});
        QCOMPARE(simulator->memoryAt(ParameterMap::mad(2)), std::uint8_t{85});
        QCOMPARE(simulator->memoryAt(ParameterMap::m1(2)), std::uint8_t{30});
        QCOMPARE(simulator->memoryAt(150), std::uint8_t{77});
        QCOMPARE(core->strch(), QString(" Ch_2, "));
        QCOMPARE(window->samplingWindow()->windowTitle(), QString("Calibration"));
    }

    void theStandardProgrammingMirrorsTheImage()
    {
        SelectorImage& image = core->image();
        for (int a = 0; a < 256; ++a)
            image.setNumber(a, (a * 5 + 1) % 256);
        image.setCell(3, "300");
        image.setCell(4, "");
        image.setCell(200, "pc side");
        const auto before = simulator->memory();
        QVERIFY(core->mnuProgram_Click());
        waitForLinkIdle();
        QTRY_VERIFY_WITH_TIMEOUT(simulator->countReceived(LinkCommands::EndOfBlockLead) == 3,
                                 Patience);
        for (int a = 0; a < 189; ++a) {
            if (a == 85 || (a >= 124 && a <= 127))
                QCOMPARE(simulator->memoryAt(a), before[std::size_t(a)]);
            else
                QCOMPARE(simulator->memoryAt(a), image.selectorByte(a));
        }
        QCOMPARE(simulator->memoryAt(3), std::uint8_t{44});
        QCOMPARE(simulator->memoryAt(4), std::uint8_t{0});
        QCOMPARE(image.cell(120), QString("4"));
        QCOMPARE(image.cell(123), QString("61"));
        QCOMPARE(image.cell(200), QString("pc side"));
        QCOMPARE(image.cell(189), QString::number(189 * 5 % 256 + 1));
    }

    void aBlockWritesExactlyItsAddresses()
    {
        core->setBegin(86);
        core->setTotal(123);
        QVERIFY(core->program_to_selector());
        waitForLinkIdle();
        QTRY_VERIFY_WITH_TIMEOUT(simulator->countReceived(LinkCommands::EndOfBlockLead) == 1,
                                 Patience);
        QCOMPARE(simulator->countReceived(LinkCommands::WriteLead), 38);
        const QSet<int> written = writtenAddresses();
        QVERIFY(written.contains(86) && written.contains(123));
        QCOMPARE(simulator->memoryAt(121), std::uint8_t{52});
    }

    // With "Verify after programming" every written address is read back; a byte the selector
    // keeps storing wrongly after its rewrite fails the programming and is named.
    void verifyAfterProgrammingReadsEveryAddressBack_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<QString>("status");
        QTest::newRow("off: today's frames") << false << "";
        QTest::newRow("on, clean") << true << "";
        QTest::newRow("on, 34 kept wrong after its rewrite")
            << true << "Program to selector error: the selector does not hold address 34";
    }
    void verifyAfterProgrammingReadsEveryAddressBack()
    {
        QFETCH(bool, verify);
        QFETCH(QString, status);
        const bool keptWrong = !status.isEmpty();
        auto* item = window->findChild<QAction*>("mnuVerify");
        QVERIFY(!item->isChecked());
        if (verify)
            item->trigger();
        if (keptWrong) // the write, its read-back, the rewrite
            simulator->queueFaultAt(34, Fault::CorruptWrite, 3);
        window->findChild<QAction*>("mnuProgram")->trigger();
        waitForLinkIdle();
        const int again = keptWrong ? 1 : 0; // address 34 written and read once more
        QCOMPARE(simulator->countReceived(LinkCommands::ReadLead), verify ? 184 + again : 0);
        QCOMPARE(simulator->countReceived(LinkCommands::WriteLead), 184 + again);
        QCOMPARE(core->statusText(), status);
        QCOMPARE(core->statusColour() == StatusColour::Red, keptWrong);
        QCOMPARE(core->unconfirmedAddresses(), keptWrong ? QList<int>{34} : QList<int>());
        for (int a = 0; a < 189; ++a)
            if (a != 85 && (a < 124 || a > 127))
                QCOMPARE(simulator->memoryAt(a) != core->image().selectorByte(a),
                         keptWrong && a == 34);
        QCOMPARE(QSettings().value("Settings/VerifyAfterProgramming", false), QVariant(verify));
    }

    // Closing amid a programming would leave the selector with one block new and the others
    // old: the programming ends first. A read only stops.
    void closingLetsAProgrammingEndButStopsARead_data()
    {
        QTest::addColumn<bool>("exit"); // else SIGTERM, which closes as the close box does
        QTest::addColumn<bool>("programming");
        QTest::newRow("Exit, programming") << true << true;
        QTest::newRow("SIGTERM, programming") << false << true;
        QTest::newRow("Exit, read") << true << false;
    }
    void closingLetsAProgrammingEndButStopsARead()
    {
        QFETCH(bool, exit);
        QFETCH(bool, programming);
        TerminationSignals terminationSignals;
        connect(&terminationSignals, &TerminationSignals::received, window.get(), &QWidget::close);
        auto* exitButton = window->findChild<QPushButton*>("ComExit");
        for (int a = 0; a < 256; ++a) // unlike the selector at every address
            core->image().setNumber(a, (simulator->memoryAt(a) + 1) % 256);
        window->findChild<QAction*>(programming ? "mnuProgram" : "mnuReadSelector")->trigger();
        const quint8 lead = programming ? LinkCommands::EndOfBlockLead : LinkCommands::ReadLead;
        QTRY_VERIFY_WITH_TIMEOUT(simulator->countReceived(lead) > 0, Patience);
        if (exit)
            exitButton->click();
        else
            std::raise(SIGTERM); // blocked: it waits for the event loop
        if (programming) {
            QTRY_COMPARE(core->statusText(),
                         QString("Finishing the programming before closing..."));
            exitButton->click(); // a second request adds nothing, not even Exit's file
            QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), Patience);
            for (const auto& block : BlockSequence::standardBlocks())
                for (int a = block.begin; a <= block.total; ++a)
                    QCOMPARE(simulator->memoryAt(a), core->image().selectorByte(a));
        }
        QVERIFY(!window->isVisible() && !core->link().isPortOpen());
        QCOMPARE(QFile::exists(AppPaths::dataFile(AppPaths::StartupFileName)), exit);
    }

    void aReadThatGivesUpLeavesTheStatusWindowOpen()
    {
        simulator->setMemoryAt(80, 200);
        // One bad reply at each of five addresses, each followed by good ones.
        const Fault faults[] = {Fault::WrongChecksum, Fault::NoReply, Fault::WrongLeadByte,
                                Fault::WrongChecksum, Fault::NoReply};
        for (Fault fault : faults) {
            simulator->queueFault(fault);
            simulator->queueFault(Fault::None, 20);
        }
        QVERIFY(core->mnuReadSelector_Click());
        waitForLinkIdle();
        auto* status = window->findChild<StatusWindow*>("ff");
        QVERIFY(status && status->isVisible());
        QCOMPARE(status->labelStats()->text(), QString("Read selector error"));
        QVERIFY(status->comExit()->isEnabled());
        QVERIFY(!core->opened());
        // 80 bytes read, the fifth failure on address 80.
        QCOMPARE(simulator->countReceived(LinkCommands::ReadLead), 5 + 4 * 20);
        QCOMPARE(core->image().cell(79), QString::number(simulator->memoryAt(79)));
        QCOMPARE(core->image().cell(80), QString("0")); // kept its text
    }
};

QTEST_MAIN(MainWindowOverPtyTest)
#include "MainWindowOverPtyTest.moc"
