// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"
#include "AppPaths.h"
#include "AppTestEnvironment.h"
#include "ApplicationCore.h"
#include "CoinDataFile.h"
#include "FakeSelector.h"
#include "FileBytes.h"
#include "LinkCommands.h"
#include "PortCheck.h"
#include "PortMap.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SettingWindow.h"
#include "StatusWindow.h"
#include "TarnvelloVersion.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>

namespace {

QColor textColour(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    FakeLinkClock clock;
    FakeLinkPort* port = nullptr;
    std::unique_ptr<FakeSelector> selector;
    std::unique_ptr<ApplicationCore> core;
    std::unique_ptr<MainWindow> window;

    void createWindow()
    {
        window.reset();
        auto fakePort = std::make_unique<FakeLinkPort>();
        port = fakePort.get();
        selector = std::make_unique<FakeSelector>(*port);
        core = std::make_unique<ApplicationCore>(std::move(fakePort), clock);
        window = std::make_unique<MainWindow>(*core);
    }
    QString startupFile() const { return AppPaths::dataFile(AppPaths::StartupFileName); }
    template <typename T> T* find(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    QLabel* status() const { return find<QLabel>("labelStats"); }
    StatusWindow* statusWindow() const { return window->findChild<StatusWindow*>("ff"); }
    QStringList checkedPorts() const
    {
        QStringList names;
        for (const char* name : {"mnuCom1", "mnuCom2", "mnuCom3", "MnuCom4", "MnuCom9"})
            if (find<QAction>(name)->isChecked())
                names << name;
        return names;
    }
    bool runLinkUntil(const std::function<bool()>& done) { return pumpUntil(clock, done); }

private slots:
    void init()
    {
        environment.reset();
        createWindow();
    }
    void cleanup()
    {
        window.reset();
        core.reset();
        selector.reset();
    }

    void showsExactlyTheDeliveredControls()
    {
        window->startUp();
        window->show();
        QCOMPARE(window->windowTitle(), QString("TARNVELLO   Coin Selector programmer"));
        struct Button
        {
            const char* name;
            const char* caption;
            const char* hint;
            bool shown;
        };
        const Button buttons[] = {
            {"ComTeach", "Teach Coin Selector", "Insert coins to teach this on_line Coin Selector",
             true},
            {"ComEdit", "Edit Coin Selector", "Edit this on_line Coin Selector", true},
            {"ComCal", "Channel Calibration",
             "To calibrate channels for this on_line Coin Selector", true},
            {"ComExit", "Exit", "exit", true},
            {"ComSampling", "Sampling", "To create Coin Data file", false},
            {"ComProgame", "Program", "Program this on_line Coin Selector from existing Coin Data",
             false},
        };
        int lastTop = -1;
        for (const Button& entry : buttons) {
            auto* button = find<QPushButton>(entry.name);
            QVERIFY2(button, entry.name);
            QCOMPARE(button->text(), QString(entry.caption));
            QCOMPARE(button->toolTip(), QString(entry.hint));
            QCOMPARE(button->isVisible(), entry.shown);
            if (entry.shown) {
                QVERIFY(button->y() > lastTop); // a column, top to bottom, in this order
                lastTop = button->y();
            }
        }
        const QStringList shownActions{"mnuOpen_Program", "mnuCom1", "mnuCom2", "mnuCom3",
                                       "MnuCom4",         "MnuCom9", "mnuAbout"};
        const QStringList hiddenActions{
            "mnuFileOpen", "mnuReadSelector", "mnuDefault", "mnuFileSave", "mnuSaveAs",
            "mnuProgram",  "mnuFileExit",     "mnuName1",   "mnuName2",    "mnuEdit",
            "mnubar3",     "mnuPar",          "mnuDisplay", "mnuTK1",      "mnuTK2"};
        for (const QString& name : shownActions)
            QVERIFY2(find<QAction>(name.toLatin1())->isVisible(), qPrintable(name));
        for (const QString& name : hiddenActions)
            QVERIFY2(!find<QAction>(name.toLatin1())->isVisible(), qPrintable(name));
        QCOMPARE(find<QAction>("mnuOpen_Program")->text(), QString("Open && Program"));
        QCOMPARE(find<QAction>("MnuCom9")->text(), QString("Com9(&9)"));
    }

    void hiddenItemsStillRunWhenTriggered()
    {
        window->startUp();
        core->image().setCell(84, "7");
        find<QAction>("mnuDefault")->trigger();
        QCOMPARE(core->image().cell(84), QString("128"));
        find<QAction>("mnuFileSave")->trigger();
        QVERIFY(FileBytes::read(core->currentFileName()).startsWith("\"0\"\r\n"));
        find<QAction>("mnuTK2")->trigger();
        QCOMPARE(core->token(), 2);
    }

    void aboutSaysTheVersionLicenceAndWhereTheFilesLive()
    {
        find<QAction>("mnuAbout")->trigger();
        auto* about = find<QMessageBox>("about");
        QVERIFY(about && about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->text(), QString("Tarnvello ") + TarnvelloVersion::Number);
        for (const QString& said :
             {QString("version 3 or later"), QSettings().fileName(), environment.dataFolder()})
            QVERIFY2(about->informativeText().contains(said), qPrintable(said));
    }

    void theHiddenServiceItemsOpenTheirWindowsOnce()
    {
        window->startUp();
        QVERIFY(core->mnuReadSelector_Click());
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
        QVERIFY(core->opened());
        for (const char* item :
             {"mnuPar", "mnuDisplay", "mnuTK2", "mnuPar", "mnuDisplay", "mnuTK1"})
            find<QAction>(item)->trigger();
        QVERIFY(!core->opened());
        QCOMPARE(core->token(), 1);
        for (const char* name : {"memory", "display", "calibration"}) {
            const auto windows = window->findChildren<QWidget*>(name);
            QCOMPARE(windows.size(), 1);
            QVERIFY(windows.first()->isVisible());
        }
    }

    void aFirstStartUsesComOneAndTheDefaultNames()
    {
        core->image().setCell(150, "x");
        window->startUp();
        QCOMPARE(checkedPorts(), QStringList{"mnuCom1"});
        QCOMPARE(port->openedDevice, PortMap::defaultDevice(1));
        QCOMPARE(core->currentFileName(), AppPaths::dataFile("coin.syn"));
        QCOMPARE(core->previousFileName(), AppPaths::dataFile("aaa.syn"));
        QCOMPARE(core->image().cell(84), QString("128")); // main-window defaults applied
        QCOMPARE(core->image().cell(150), QString("x"));  // and nothing beyond them
        QCOMPARE(status()->text(), QString());
    }

    void theLastCheckedPortWinsAndStaysChecked()
    {
        QVERIFY(FileBytes::write(
            startupFile(),
            "\"/x/a.cdt\"\r\n\"/x/b.cdt\"\r\n#FALSE#\r\n#TRUE#\r\n#FALSE#\r\n#TRUE#\r\n"));
        QSettings().setValue("Ports/Com4", "/dev/fake4");
        window->startUp();
        QCOMPARE(checkedPorts(), (QStringList{"mnuCom2", "MnuCom4"}));
        QCOMPARE(core->currentPortNumber(), 4);
        QCOMPARE(port->openedDevice, QString("/dev/fake4"));
        QCOMPARE(core->currentFileName(), QString("/x/a.cdt"));
    }

    void comNineIsNotRememberedAcrossExit()
    {
        window->startUp();
        find<QAction>("MnuCom9")->trigger();
        QCOMPARE(status()->text(), QString("commucation port use com9:"));
        QCOMPARE(textColour(status()), Blue);
        window->mnuFileExit_Click();
        QVERIFY(FileBytes::read(startupFile())
                    .endsWith("#FALSE#\r\n#FALSE#\r\n#FALSE#\r\n#FALSE#\r\n"));
        QVERIFY(!port->isOpen());

        createWindow();
        window->startUp();
        QCOMPARE(checkedPorts(), QStringList());
        QCOMPARE(core->currentPortNumber(), 1);
    }

    void aPortThatWillNotOpenFallsBackToComOne_data()
    {
        QTest::addColumn<int>("portNumber");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("warning");
        QTest::newRow("Com2") << 2 << "mnuCom2"
                              << "warning:something wrong to open com2";
        QTest::newRow("Com3") << 3 << "mnuCom3"
                              << "warning:something wrong to open com3";
        QTest::newRow("Com4") << 4 << "MnuCom4"
                              << "warning:something wrong to open com4";
        QTest::newRow("Com9") << 9 << "MnuCom9"
                              << "warning:something wrong to open COM9";
    }
    void aPortThatWillNotOpenFallsBackToComOne()
    {
        QFETCH(int, portNumber);
        QFETCH(QString, item);
        QFETCH(QString, warning);
        window->startUp();
        port->refusedDevices << PortMap::defaultDevice(portNumber);
        port->openedDevice.clear();
        find<QAction>(item.toLatin1())->trigger();
        QCOMPARE(status()->text(), warning);
        QCOMPARE(textColour(status()), Red);
        QCOMPARE(checkedPorts(), QStringList{"mnuCom1"});
        QCOMPARE(core->currentPortNumber(), 1);
        QCOMPARE(port->openedDevice, PortMap::defaultDevice(1));
        QVERIFY(port->isOpen());

        // When Com1 fails too, both are said: Com1 shows checked but is not open.
        port->refusedDevices << PortMap::defaultDevice(1);
        find<QAction>(item.toLatin1())->trigger();
        QCOMPARE(status()->text(), warning + "\nwarning:something wrong to open com1");
        QCOMPARE(checkedPorts(), QStringList{"mnuCom1"});
        QVERIFY(!port->isOpen());
    }

    // What OK maps is what the Com item opens, at once and at the next start; Cancel keeps
    // the settings as they were.
    void theSerialPortsDialogMapsTheComItems()
    {
        window->startUp();
        const auto openDialog = [this] {
            find<QAction>("mnuPorts")->trigger();
            return find<QDialog>("ports");
        };
        QDialog* dialog = openDialog();
        QVERIFY(dialog->isVisible());
        auto* com1 = dialog->findChild<QComboBox*>("ComboPort1");
        QCOMPARE(com1->currentText(), PortMap::defaultDevice(1));
        com1->setEditText("/tmp/selector");
        dialog->findChild<QPushButton*>("ComCancel")->click();
        QVERIFY(!QSettings().contains("Ports/Com1"));

        dialog = openDialog();
        QCOMPARE(com1->currentText(), PortMap::defaultDevice(1));
        com1->setEditText("/tmp/selector");
        dialog->findChild<QComboBox*>("ComboPort3")->setEditText("/dev/ttyACM0");
        dialog->findChild<QPushButton*>("ComOK")->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(port->openedDevice, QString("/tmp/selector"));
        QCOMPARE(status()->text(), QString("commucation port use com1:"));
        QCOMPARE(QSettings().value("Ports/Com3").toString(), QString("/dev/ttyACM0"));

        createWindow();
        window->startUp();
        QCOMPARE(port->openedDevice, QString("/tmp/selector"));
    }

    // Check beside a row: the port the program holds through its own link (refused while an
    // operation runs; a second open would find it in use), another device on a port of its own.
    void theSerialPortsDialogChecksARowsDevice()
    {
        window->startUp();
        selectorsim::SelectorSimulator other;
        QVERIFY(other.start());
        QSettings().setValue("Ports/Com2", QString::fromStdString(other.devicePath()));
        find<QAction>("mnuPorts")->trigger();
        const auto check = [this](int number) {
            auto* dialog = find<QDialog>("ports");
            dialog->findChild<QPushButton*>(QString("CheckPort%1").arg(number))->click();
            auto* result = dialog->findChild<QLabel*>(QString("ResultPort%1").arg(number));
            const auto done = [result] { return !result->text().startsWith("Checking"); };
            // The held port's check ends with its settling pause, on fake time; the other device
            // answers in real time.
            return (number == 1 ? runLinkUntil(done) : QTest::qWaitFor(done)) ? result->text()
                                                                              : QString();
        };
        QVERIFY(core->link().beginOperation());
        QVERIFY(check(1).startsWith("Busy: another operation uses the port"));
        core->link().endOperation();
        QVERIFY(selector->requests.isEmpty());
        QVERIFY(check(1).startsWith("The selector answers"));
        // A run of reads, never a write.
        QCOMPARE(selector->requests, QList<QByteArray>(PortCheck::RunReads,
                                                       LinkCommands::readRequest(0).toByteArray()));
        QVERIFY(check(2).startsWith("The selector answers"));
        QVERIFY(other.countReceived(LinkCommands::ReadLead) > 0);
    }

    void onlyExitWritesTheStartupFile()
    {
        window->startUp();
        window->show();
        window->close();
        QVERIFY(!QFile::exists(startupFile()));
        QVERIFY(QSettings().contains("Settings/MainWidth"));

        createWindow();
        window->startUp();
        window->show();
        window->mnuFileExit_Click();
        QCOMPARE(FileBytes::read(startupFile()),
                 "\"" + AppPaths::dataFile("coin.syn").toUtf8() + "\"\r\n\"" +
                     AppPaths::dataFile("aaa.syn").toUtf8() +
                     "\"\r\n#TRUE#\r\n#FALSE#\r\n#FALSE#\r\n#FALSE#\r\n");
    }

    void anUntouchedWindowStoresThePlacementItWasGiven()
    {
        // 1000 twips is no whole number of pixels at 96 dpi: a round trip through pixels
        // would store 1005.
        window->startUp();
        window->show();
        window->close();
        const QSettings settings;
        const std::pair<const char*, const char*> stored[] = {{"MainLeft", "1000"},
                                                              {"MainTop", "1000"},
                                                              {"MainWidth", "6500"},
                                                              {"MainHeight", "6500"}};
        for (const auto& [key, twips] : stored)
            QCOMPARE(settings.value(QStringLiteral("Settings/") + key).toString(), QString(twips));
    }

    void aMinimisedWindowKeepsTheStoredPlacement()
    {
        QSettings().setValue("Settings/MainLeft", "1234");
        window->startUp();
        window->showMinimized();
        if (!window->isMinimized())
            QSKIP("this platform does not minimise windows");
        window->close();
        QCOMPARE(QSettings().value("Settings/MainLeft").toString(), QString("1234"));
    }

    void theStatusWindowIsCreatedDisabledAndReusedAfterFailure()
    {
        window->startUp();
        // First read fails: five bad replies in a row.
        for (int request = 0; request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::WrongChecksum);
        QVERIFY(core->mnuReadSelector_Click());
        QVERIFY(statusWindow());
        QCOMPARE(statusWindow()->windowTitle(), QString("status"));
        QVERIFY(!statusWindow()->comExit()->isEnabled());
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
        QPointer<StatusWindow> failed = statusWindow();
        QVERIFY(failed); // a read that succeeded would have closed it
        QVERIFY(failed->isVisible());
        QVERIFY(failed->comExit()->isEnabled());
        QCOMPARE(failed->labelStats()->text(), QString("Read selector error"));
        QCOMPARE(textColour(failed->labelStats()), Red);
        QVERIFY(!core->opened());

        // Reused while still open: "close" stays enabled, and success closes it.
        QVERIFY(core->mnuReadSelector_Click());
        QCOMPARE(statusWindow(), failed.data());
        QVERIFY(failed->comExit()->isEnabled());
        QVERIFY(runLinkUntil([&] { return failed.isNull(); }));
        QVERIFY(core->opened());
        QCOMPARE(core->image().cell(188), QString::number(selector->memory[188]));

        // After the user closes a failed window, the next transfer creates it anew, disabled.
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
        const int sent = int(selector->requests.size());
        for (int request = 0; request < 5; ++request)
            selector->setFault(sent + request, FakeSelector::Fault::Silent);
        QVERIFY(core->mnuReadSelector_Click());
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
        QVERIFY(statusWindow());
        QTest::mouseClick(statusWindow()->comExit(), Qt::LeftButton);
        QTRY_VERIFY(!statusWindow());
        core->setBegin(0);
        core->setTotal(3);
        QVERIFY(core->program_to_selector());
        QVERIFY(!statusWindow()->comExit()->isEnabled());
        QCOMPARE(statusWindow()->bar()->maximum(), 189);
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
    }

    void linkCommandsAreRefusedWhileATransferRuns()
    {
        window->startUp();
        QVERIFY(core->mnuReadSelector_Click());
        QVERIFY(!find<QPushButton>("ComEdit")->isEnabled());
        QVERIFY(!find<QAction>("mnuOpen_Program")->isEnabled());
        QVERIFY(!core->mnuProgram_Click());
        QVERIFY(!core->ThisReadSelector_Click());
        QVERIFY(find<QPushButton>("ComExit")->isEnabled());
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
        QVERIFY(find<QPushButton>("ComEdit")->isEnabled());
        QCOMPARE(selector->requests.size(), 189);
    }

    void closingDuringATransferEndsItCleanly()
    {
        window->startUp();
        window->show();
        QVERIFY(core->mnuProgram_Click());
        QVERIFY(core->link().isBusy());
        window.reset(); // the sanitizer build catches any use of what is gone
        clock.advance(100);
        QCoreApplication::processEvents();
    }

    void openAndProgramNeedsAReadableFile()
    {
        window->startUp();
        const QString current = core->currentFileName();
        const QString missing = environment.path("missing.cdt");
        window->setFileChooser(
            [&](const QString& title) { return title == "open" ? missing : QString(); }, {});
        find<QAction>("mnuOpen_Program")->trigger();
        QCOMPARE(core->cdt(), 1);
        QVERIFY(!core->opened());
        QVERIFY(!core->link().isBusy());
        QVERIFY(port->written.isEmpty());
        QCOMPARE(textColour(status()), Red);
        QCOMPARE(core->currentFileName(), current); // not a file that Save to Disk may write

        // A readable file is loaded and programmed with the three standard blocks.
        SelectorImage saved;
        for (int a = 0; a < 256; ++a)
            saved.setNumber(a, (a * 3) % 256);
        const QString good = environment.path("good.cdt");
        QVERIFY(FileBytes::write(good, CoinDataFile::serialize(saved)));
        window->setFileChooser([&](const QString&) { return good; }, {});
        find<QAction>("mnuOpen_Program")->trigger();
        QVERIFY(core->opened());
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy() && selector->endOfBlocks == 3; }));
        QCOMPARE(selector->writtenAddresses.size(), 184);
        QCOMPARE(int(selector->memory[60]), 180);
        QCOMPARE(core->previousFileName(), current);
        // Re-teaching follows; the failed open above opened no window.
        QVERIFY(window->samplingWindow());
        QCOMPARE(window->samplingWindow()->windowTitle(), QString("Calibration"));
    }

    void programmingFromCoinDataLeadsToReteaching()
    {
        window->startUp();
        SelectorImage taught;
        for (int a = 0; a < 256; ++a)
            taught.setNumber(a, 60);
        // Both calibration records as calibration accepts them: AB high byte 28, BM 70.
        for (int a : {125, 127}) {
            taught.setNumber(a, a == 125 ? 28 : 70);
            selector->memory[std::size_t(a)] = quint8(a == 125 ? 28 : 70);
        }
        taught.setNumber(96, 30); // coin 1's M1, too low
        const QString file = environment.path("taught.cdt");
        QVERIFY(FileBytes::write(file, CoinDataFile::serialize(taught)));
        window->setFileChooser([&](const QString&) { return file; }, {});
        find<QPushButton>("ComProgame")->click();
        QVERIFY(runLinkUntil([&] { return window->samplingWindow() != nullptr; }));
        QCOMPARE(window->samplingWindow()->windowTitle(), QString("Calibration"));
        QCOMPARE(window->samplingWindow()->findChild<QLabel*>("STRCH2")->text(), core->strch());
        QVERIFY(core->strch().startsWith(" Ch_1, "));
        QCOMPARE(selector->endOfBlocks, 3);
    }

    void theSamplingStartChecksTheSelectorFirst_data()
    {
        QTest::addColumn<int>("measurement"); // address 127; -1: the selector does not answer
        QTest::addColumn<bool>("warned");
        QTest::newRow("74") << 74 << true;
        QTest::newRow("75") << 75 << false;
        QTest::newRow("90") << 90 << false;
        QTest::newRow("91") << 91 << true;
        QTest::newRow("silent") << -1 << false;
    }
    void theSamplingStartChecksTheSelectorFirst()
    {
        QFETCH(int, measurement);
        QFETCH(bool, warned);
        window->startUp();
        if (measurement < 0)
            for (int request = 0; request < 5; ++request)
                selector->setFault(request, FakeSelector::Fault::Silent);
        else
            selector->memory[127] = quint8(measurement);
        find<QPushButton>("ComSampling")->click();
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
        QCOMPARE(selector->requests.first(), LinkCommands::partialReadRequest(0).toByteArray());
        if (measurement < 0) {
            QVERIFY(!window->editor());
            QVERIFY(statusWindow());
            QCOMPARE(statusWindow()->labelStats()->text(), QString("Program to selector error"));
            return;
        }
        QCOMPARE(selector->requests.size(), 128);
        QVERIFY(window->editor());
        QCOMPARE(window->editor()->windowTitle(), QString("Setting"));
        QCOMPARE(core->image().cell(84), QString("128")); // the defaults follow the read
        QCOMPARE(window->samplingWindow() != nullptr, warned);
        if (warned) {
            QVERIFY(!window->samplingWindow()->isVisible());
            QVERIFY(window->samplingWindow()
                        ->findChild<QLabel*>("labelStats")
                        ->text()
                        .startsWith(" Please select another Coin Selector"));
        }
    }

    void previousFileSwapsAndLoads()
    {
        window->startUp();
        const QString first = environment.path("first.cdt");
        const QString second = environment.path("second.cdt");
        QVERIFY(FileBytes::write(first, "\"11\"\r\n"));
        QVERIFY(FileBytes::write(second, "\"22\"\r\n"));
        window->setFileChooser([&](const QString&) { return first; }, {});
        window->mnuFileOpen_Click();
        window->setFileChooser([&](const QString&) { return second; }, {});
        window->mnuFileOpen_Click();
        QCOMPARE(core->image().cell(0), QString("22"));
        find<QAction>("mnuName2")->trigger();
        QCOMPARE(core->currentFileName(), first);
        QCOMPARE(core->previousFileName(), second);
        QCOMPARE(core->image().cell(0), QString("11"));
        find<QAction>("mnuName2")->trigger();
        QCOMPARE(core->currentFileName(), second);
        QCOMPARE(core->image().cell(0), QString("22"));

        // A cancelled dialog changes nothing and leaves the file not opened.
        window->setFileChooser([&](const QString&) { return QString(); }, {});
        window->mnuFileOpen_Click();
        QVERIFY(!core->opened());
        QCOMPARE(core->currentFileName(), second);
    }

    void aFailedSaveKeepsThePreviousFileAndSaysSo()
    {
        window->startUp();
        const QString target = environment.path("kept.cdt");
        QVERIFY(FileBytes::write(target, "previous"));
        // A path below a regular file cannot be created, even by root.
        const QString impossible = target + "/new.cdt";
        window->setFileChooser({}, [&](const QString& title) {
            return title == "save file" ? impossible : QString();
        });
        window->mnuSaveAs_Click();
        QCOMPARE(core->currentFileName(), impossible);
        QCOMPARE(textColour(status()), Red);
        QCOMPARE(FileBytes::read(target), QByteArray("previous"));
    }

    void editorOpensAfterASuccessfulReadAndReopensWithDefaults()
    {
        window->startUp();
        find<QPushButton>("ComEdit")->click();
        QVERIFY(runLinkUntil([&] { return window->editor() != nullptr; }));
        SettingWindow* editor = window->editor();
        QCOMPARE(editor->windowTitle(), QString("Edit"));
        QCOMPARE(editor->findChild<QLineEdit*>("TextPriceA")->text(),
                 QString::number(selector->memory[86]));

        // "Teach Coin Selector" on the open editor only changes its mode.
        editor->findChild<QLineEdit*>("TextPriceA")->setText("77");
        find<QPushButton>("ComTeach")->click();
        QCOMPARE(window->editor(), editor);
        QCOMPARE(editor->windowTitle(), QString("Setting"));
        QCOMPARE(editor->findChild<QLineEdit*>("TextPriceA")->text(), QString("77"));
        QCOMPARE(core->cdt(), 0);

        // "OK" writes back and leads to teaching.
        editor->findChild<QPushButton*>("ComOK")->click();
        QVERIFY(window->samplingWindow());
        QCOMPARE(window->samplingWindow()->windowTitle(), QString("Sampling"));
        QCOMPARE(core->image().cell(86), QString("77"));
        editor = window->openEditor(EditorMode::Setting);

        QPointer<SettingWindow> old = editor;
        editor->findChild<QPushButton*>("ComDefault")->click();
        QTRY_VERIFY(old.isNull());
        QVERIFY(window->editor());
        QCOMPARE(window->editor()->windowTitle(), QString("Setting"));
        QCOMPARE(core->image().cell(92), QString("100"));
        QCOMPARE(window->editor()->findChild<QLineEdit*>("TextSignalTime")->text(), QString("100"));
        QVERIFY(!window->editor()
                     ->findChild<QPushButton*>("ComDefault")
                     ->isVisibleTo(window->editor()));
    }

    void channelCalibrationDoesNotOpenTheEditorWhenTheReadFails()
    {
        window->startUp();
        for (int request = 0; request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
        find<QPushButton>("ComCal")->click();
        QVERIFY(runLinkUntil([&] { return !core->link().isBusy(); }));
        QVERIFY(!window->editor());
        find<QPushButton>("ComCal")->click();
        QVERIFY(runLinkUntil([&] { return window->editor() != nullptr; }));
        QVERIFY(
            !window->editor()->findChild<QPushButton*>("ComExit")->isVisibleTo(window->editor()));
    }

    void exitClosesTheOtherWindows()
    {
        window->startUp();
        window->show();
        find<QPushButton>("ComTeach")->click();
        QPointer<SettingWindow> editor = window->editor();
        QVERIFY(editor->isVisible());
        find<QPushButton>("ComExit")->click();
        QTRY_VERIFY(editor.isNull());
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
