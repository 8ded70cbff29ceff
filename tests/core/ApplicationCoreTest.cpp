// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationCore.h"
#include "AppPaths.h"
#include "AppTestEnvironment.h"
#include "CoinDataFile.h"
#include "FakeCoreRig.h"
#include "FileBytes.h"
#include "ParameterMap.h"
#include "PortMap.h"
#include "RecordingDisplay.h"
#include "SelectorLink.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

// The core on its own, as a command-line program would run it: no widget anywhere.
class ApplicationCoreTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<FakeCoreRig> rig;
    RecordingDisplay display;

private slots:
    void init()
    {
        environment.reset();
        rig = std::make_unique<FakeCoreRig>();
        display = RecordingDisplay();
        rig->core.setTransferDisplay(&display);
        rig->core.startUp();
    }
    void cleanup() { rig.reset(); }

    QStringList journalFiles() const
    {
        return QDir(rig->core.journal().folder()).entryList(QDir::Files, QDir::Name);
    }

    void readsAndProgramsOneOperationAtATime()
    {
        std::optional<bool> readOutcome;
        QVERIFY(rig->core.mnuReadSelector_Click([&](bool ok) { readOutcome = ok; }));
        QVERIFY(!rig->core.mnuReadSelector_Click());
        QVERIFY(!rig->core.ThisReadSelector_Click());
        QVERIFY(!rig->core.mnuProgram_Click());
        QVERIFY(!rig->core.program_to_selector());
        QVERIFY(!rig->core.openAndProgram(environment.path("any.cdt")));
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(readOutcome, std::optional<bool>(true));
        QVERIFY(rig->core.opened());
        QCOMPARE(rig->selector.requests.size(), 189);
        for (int a = 0; a < 189; ++a)
            QCOMPARE(rig->core.image().selectorByte(a), rig->selector.memory[std::size_t(a)]);

        for (int a = 0; a < 189; ++a)
            rig->core.image().setNumber(a, 255 - a);
        std::optional<bool> programOutcome;
        QVERIFY(rig->core.mnuProgram_Click([&](bool ok) { programOutcome = ok; }));
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(programOutcome, std::optional<bool>(true));
        QCOMPARE(rig->selector.writtenAddresses.size(), 184);
        QCOMPARE(rig->selector.endOfBlocks, 3);
        QCOMPARE(int(rig->selector.memory[84]), 255 - 84);
        QVERIFY(!display.open);
    }

    void aFailedReadIsToldToItsContinuation()
    {
        for (int request = 0; request < 5; ++request)
            rig->selector.setFault(request, FakeSelector::Fault::Silent);
        std::optional<bool> outcome;
        QVERIFY(rig->core.mnuReadSelector_Click([&](bool ok) { outcome = ok; }));
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(outcome, std::optional<bool>(false));
        QVERIFY(!rig->core.opened());
        QCOMPARE(display.status, QString("Read selector error"));
        QVERIFY(journalFiles().isEmpty());
    }

    // The journal answers "what did this selector hold before" and "what did I put in".
    void successfulReadsAndProgrammingsAreKeptInTheJournal()
    {
        QVERIFY(rig->core.mnuReadSelector_Click());
        QVERIFY(rig->runLinkUntilIdle());
        rig->core.image().setNumber(ParameterMap::money(1), 77);
        QVERIFY(rig->core.mnuProgram_Click());
        QVERIFY(rig->runLinkUntilIdle());
        for (int request = 0; request < 10; ++request)
            rig->selector.setFault(int(rig->selector.requests.size()) + request,
                                   FakeSelector::Fault::Silent);
        QVERIFY(rig->core.mnuProgram_Click());
        QVERIFY(rig->runLinkUntilIdle());

        const QStringList files = journalFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files[0].endsWith("-read.cdt"));
        QVERIFY(files[1].endsWith("-program.cdt"));
        SelectorImage programmed;
        QCOMPARE(CoinDataFile::load(rig->core.journal().folder() + '/' + files[1], programmed),
                 CoinDataFile::LoadResult::Loaded);
        QCOMPARE(programmed.cell(ParameterMap::money(1)), QString("77"));

        // The production log has both, the edited image as such.
        const QList<QStringList> entries = rig->core.productionLog().entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].mid(4, 3), (QStringList{"image", "", "programmed"}));
        QCOMPARE(entries[1][6], "no answer");
    }

    // Bytes not held in one block and no answer in a later one: the selector's state is unknown,
    // which outweighs the bytes named, for the command line's exit code and in the log.
    void noAnswerOutweighsBytesNotHeld()
    {
        const int stuck = ParameterMap::money(1);
        rig->selector.stuckAddresses.insert(stuck);
        rig->selector.beforeAnswer = [this](int number, const LinkFrame& request) {
            if (request.at(1) >= 128)
                rig->selector.setFault(number, FakeSelector::Fault::Silent);
        };
        rig->core.image().setNumber(stuck, rig->selector.memory[std::size_t(stuck)] + 1);
        rig->core.setVerifyAfterProgramming(true);
        QVERIFY(rig->core.mnuProgram_Click());
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(rig->core.unconfirmedAddresses(), QList<int>{stuck});
        QCOMPARE(rig->core.lastProgrammingOutcome(), ProductionRecorder::Outcome::NoAnswer);
        QCOMPARE(rig->core.productionLog().entries().constLast()[6], "no answer");
    }

    void fileFailuresAreSaidInRedUntilAFileCommandSucceeds()
    {
        const QString missing = environment.path("missing.cdt");
        const QString binary = environment.path("binary.cdt");
        const QString good = environment.path("good.cdt");
        QVERIFY(FileBytes::write(binary, QByteArray("\"1\"\0\"2\"", 7)));
        QVERIFY(FileBytes::write(good, "\"42\"\r\n"));
        QSignalSpy statusChanges(&rig->core, &ApplicationCore::statusChanged);
        const QString current = rig->core.currentFileName();

        const struct
        {
            QString path;
            QString text;
        } failures[] = {{missing, "Can not read file " + missing},
                        {binary, "Not a coin data file: " + binary}};
        for (const auto& failure : failures) {
            QVERIFY(!rig->core.openFile(failure.path));
            QVERIFY(!rig->core.opened());
            QCOMPARE(rig->core.statusText(), failure.text);
            QCOMPARE(rig->core.statusColour(), StatusColour::Red);
            QCOMPARE(rig->core.currentFileName(), current);
        }
        QCOMPARE(statusChanges.size(), 2);

        QVERIFY(rig->core.openFile(good));
        QVERIFY(rig->core.opened());
        QCOMPARE(rig->core.image().cell(0), QString("42"));
        QCOMPARE(rig->core.statusText(), QString());
        QCOMPARE(rig->core.previousFileName(), current);

        QVERIFY(!rig->core.mnuSaveAs(binary + "/below-a-file.cdt"));
        QVERIFY(rig->core.statusText().startsWith("Can not save file "));
        // A save for another window gives that window the failure; the shared line stays.
        rig->core.showStatus("kept", StatusColour::Blue);
        QVERIFY(rig->core.saveCurrentFile().startsWith("Can not save file "));
        QCOMPARE(rig->core.statusText(), QString("kept"));
        QVERIFY(rig->core.mnuSaveAs(environment.path("saved.cdt")));
        QCOMPARE(rig->core.statusText(), QString());
    }

    void openAndProgramTakesOnlyACompleteCoinDataFile()
    {
        SelectorImage full;
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            full.setNumber(a, a % 200);
        const QByteArray good = CoinDataFile::serialize(full);
        const QList<QByteArray> hostile{
            QByteArray("\x01\x02\xfe\xfd\x7f binary without NUL bytes\r\n").repeated(40),
            QByteArray(good).replace("\"17\"", "\"\xe9\""), // not UTF-8
            good.left(good.indexOf("\"150\"") + 3),         // cut off mid-line
            // An unclosed quote swallows the rest of its line.
            "\"0\",\"1\",\"2," + QByteArray("3,").repeated(250) + "\r\n",
        };
        for (const QByteArray& bytes : hostile) {
            const QString path = environment.path("hostile.cdt");
            QVERIFY(FileBytes::write(path, bytes));
            QVERIFY(!rig->core.openAndProgram(path));
            QCOMPARE(rig->core.statusText(), "Not a coin data file: " + path);
            QVERIFY(!rig->core.opened());
            QVERIFY(rig->port->written.isEmpty());
        }
        const QString path = environment.path("good.cdt");
        QVERIFY(FileBytes::write(path, good));
        QVERIFY(rig->core.openAndProgram(path));
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(rig->selector.writtenAddresses.size(), 184);
    }

    // Finding the umask out must not leave it changed: every file and folder made after the
    // first save of a new file follows the user's umask too.
    void aSaveLeavesTheUmaskAsItWas()
    {
#ifdef Q_OS_UNIX
        const auto restore = qScopeGuard([userMask = ::umask(027)] { ::umask(userMask); });
        QVERIFY(rig->core.mnuSaveAs(environment.path("first.cdt")));
        QVERIFY(rig->core.mnuReadSelector_Click()); // a journal folder and file
        QVERIFY(rig->runLinkUntilIdle());
        QVERIFY(rig->core.exit()); // the start-up file
        QVERIFY(rig->core.mnuSaveAs(environment.path("second.cdt")));
        const auto mode = [](const QString& path) {
            return int(std::filesystem::status(QFileInfo(path).filesystemFilePath()).permissions());
        };
        const QString journal = rig->core.journal().folder();
        QCOMPARE(mode(journal), 0750);
        for (const QString& path :
             {environment.path("first.cdt"), environment.path("second.cdt"),
              AppPaths::dataFile(AppPaths::StartupFileName), journal + '/' + journalFiles()[0]})
            QCOMPARE(mode(path), 0640);
#else
        QSKIP("needs a umask");
#endif
    }

    // A port lost during a programming fails it even when the device is back at once: no later
    // block opens the port again, the next operation does.
    void aPortLostMidwayFailsTheOperationThoughItComesBack_data()
    {
        QTest::addColumn<bool>("betweenBlocks");
        QTest::newRow("during an exchange") << false;
        QTest::newRow("in the pause after a block") << true;
    }
    void aPortLostMidwayFailsTheOperationThoughItComesBack()
    {
        QFETCH(bool, betweenBlocks);
        rig->selector.beforeAnswer = [&](int request, const LinkFrame&) {
            if (!betweenBlocks && request == 40)
                QMetaObject::invokeMethod(
                    rig->port, [&] { rig->port->hangUp(); }, Qt::QueuedConnection);
        };
        std::optional<bool> outcome;
        QVERIFY(rig->core.mnuProgram_Click([&](bool ok) { outcome = ok; }));
        if (betweenBlocks) {
            QVERIFY(pumpUntil(rig->clock, [&] { return rig->selector.endOfBlocks == 1; }));
            rig->port->hangUp();
        }
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(outcome, std::optional<bool>(false));
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(rig->selector.writtenAddresses.size(), betweenBlocks ? 85 : 41);

        QVERIFY(rig->core.mnuProgram_Click([&](bool ok) { outcome = ok; }));
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(outcome, std::optional<bool>(true));
    }

    // A lost port is said in words and opened again by the next operation, without a choice;
    // one that will not open again is said and the operation fails on the closed port.
    void aPortThatBreaksIsOpenedAgainByTheNextOperation()
    {
        rig->core.choosePort(2);
        rig->port->hangUp();
        QCOMPARE(rig->core.statusText(),
                 QString("warning:com2 closed: the adapter or line is gone"));
        QCOMPARE(rig->core.statusColour(), StatusColour::Red);

        rig->port->refusedDevices << PortMap::defaultDevice(2);
        std::optional<bool> outcome;
        QVERIFY(rig->core.mnuReadSelector_Click([&](bool ok) { outcome = ok; }));
        QCOMPARE(rig->core.statusText(), QString("warning:something wrong to open com2"));
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(outcome, std::optional<bool>(false));
        QVERIFY(rig->selector.requests.isEmpty());

        rig->port->refusedDevices.clear();
        QVERIFY(rig->core.mnuReadSelector_Click([&](bool ok) { outcome = ok; }));
        QVERIFY(rig->runLinkUntilIdle());
        QCOMPARE(outcome, std::optional<bool>(true));
        QCOMPARE(rig->port->openedDevice, PortMap::defaultDevice(2));
        QCOMPARE(rig->core.currentPortNumber(), 2);
        QCOMPARE(rig->core.statusText(), QString("commucation port use com2:"));

        // Closed on purpose (as at Exit), it stays closed.
        rig->core.link().closePort();
        QVERIFY(rig->core.mnuReadSelector_Click());
        QVERIFY(!rig->core.link().isPortOpen());
        QVERIFY(rig->runLinkUntilIdle());
    }

    // An adapter the system lists under a stable name, whichever of its two names was opened:
    // the log names the adapter's stable name and serial number, also when the adapter was
    // pulled out (its stable name gone) before the programming ended.
    void theLogNamesAListedAdaptersStableNameAndSerialNumber()
    {
        const QString kernelName = environment.path("ttyUSB0");
        const QString stableName = environment.path("by-id/usb-Maker_Adapter_A5-if00-port0");
        QVERIFY(QFile(kernelName).open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkpath(environment.path("by-id")));
        const QString builtIn = environment.path("ttyS0");
        rig->core.setPortListing(
            {environment.path("by-id"), [=] {
                 return QList<SerialDevice>{
                     {builtIn, {}, {}, {}, {}, {}, {}},
                     {kernelName, stableName, "Adapter", "Maker", "A5", "ftdi_sio", {}}};
             }});
        for (const QString& opened : {kernelName, stableName}) {
            QFile::remove(stableName);
            QVERIFY(QFile::link(kernelName, stableName));
            QVERIFY(rig->core.openPort(opened));
            QVERIFY(rig->core.mnuProgram_Click());
            QVERIFY(QFile::remove(stableName));
            QVERIFY(rig->runLinkUntilIdle());
            QCOMPARE(rig->core.productionLog().entries().constLast().mid(1, 3),
                     (QStringList{opened, stableName, "A5"}));
        }
    }

    // A log that cannot be written is said once and leaves the programmings' outcomes as they
    // were.
    void anUnwritableProductionLogIsSaidOnce()
    {
        QVERIFY(QDir().mkpath(rig->core.productionLog().path()));
        QSignalSpy said(&rig->core, &ApplicationCore::productionLogFailed);
        for (int run = 0; run < 2; ++run) {
            std::optional<bool> outcome;
            QVERIFY(rig->core.mnuProgram_Click([&](bool ok) { outcome = ok; }));
            QVERIFY(rig->runLinkUntilIdle());
            QCOMPARE(outcome, std::optional<bool>(true));
        }
        QCOMPARE(said.size(), 1);
        QVERIFY(rig->core.statusText().startsWith("Can not write the production log"));
    }
};

QTEST_GUILESS_MAIN(ApplicationCoreTest)
#include "ApplicationCoreTest.moc"
