#include "ApplicationCore.h"
#include "AppTestEnvironment.h"
#include "CoinDataFile.h"
#include "FakeSelector.h"
#include "FileBytes.h"
#include "RecordingDisplay.h"
#include "SelectorLink.h"

#include <QSignalSpy>
#include <QTest>

#include <optional>

// The core on its own, as a command-line program would run it: no widget anywhere.
class ApplicationCoreTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    FakeLinkClock clock;
    FakeLinkPort* port = nullptr;
    std::unique_ptr<FakeSelector> selector;
    std::unique_ptr<ApplicationCore> core;
    RecordingDisplay display;

    bool runLinkUntilIdle()
    {
        return pumpUntil(clock, [&] { return !core->link().isBusy(); });
    }

private slots:
    void init()
    {
        environment.reset();
        auto fakePort = std::make_unique<FakeLinkPort>();
        port = fakePort.get();
        selector = std::make_unique<FakeSelector>(*port);
        core = std::make_unique<ApplicationCore>(std::move(fakePort), clock);
        display = RecordingDisplay();
        core->setTransferDisplay(&display);
        core->startUp();
    }
    void cleanup()
    {
        core.reset();
        selector.reset();
    }

    void readsAndProgramsOneOperationAtATime()
    {
        std::optional<bool> readOutcome;
        QVERIFY(core->mnuReadSelector_Click([&](bool ok) { readOutcome = ok; }));
        QVERIFY(!core->mnuReadSelector_Click());
        QVERIFY(!core->ThisReadSelector_Click());
        QVERIFY(!core->mnuProgram_Click());
        QVERIFY(!core->program_to_selector());
        QVERIFY(!core->openAndProgram(environment.path("any.cdt")));
        QVERIFY(runLinkUntilIdle());
        QCOMPARE(readOutcome, std::optional<bool>(true));
        QVERIFY(core->opened());
        QCOMPARE(selector->requests.size(), 189);
        for (int a = 0; a < 189; ++a)
            QCOMPARE(core->image().selectorByte(a), selector->memory[std::size_t(a)]);

        for (int a = 0; a < 189; ++a)
            core->image().setNumber(a, 255 - a);
        std::optional<bool> programOutcome;
        QVERIFY(core->mnuProgram_Click([&](bool ok) { programOutcome = ok; }));
        QVERIFY(runLinkUntilIdle());
        QCOMPARE(programOutcome, std::optional<bool>(true));
        QCOMPARE(selector->writtenAddresses.size(), 184);
        QCOMPARE(selector->endOfBlocks, 3);
        QCOMPARE(int(selector->memory[84]), 255 - 84);
        QVERIFY(!display.open);
    }

    void aFailedReadIsToldToItsContinuation()
    {
        for (int request = 0; request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
        std::optional<bool> outcome;
        QVERIFY(core->mnuReadSelector_Click([&](bool ok) { outcome = ok; }));
        QVERIFY(runLinkUntilIdle());
        QCOMPARE(outcome, std::optional<bool>(false));
        QVERIFY(!core->opened());
        QCOMPARE(display.status, QString("Read selector error"));
    }

    void fileFailuresAreSaidInRedUntilAFileCommandSucceeds()
    {
        const QString missing = environment.path("missing.cdt");
        const QString binary = environment.path("binary.cdt");
        const QString good = environment.path("good.cdt");
        QVERIFY(FileBytes::write(binary, QByteArray("\"1\"\0\"2\"", 7)));
        QVERIFY(FileBytes::write(good, "\"42\"\r\n"));
        QSignalSpy statusChanges(core.get(), &ApplicationCore::statusChanged);

        const struct
        {
            QString path;
            QString text;
        } failures[] = {{missing, "Can not read file " + missing},
                        {binary, "Not a coin data file: " + binary}};
        for (const auto& failure : failures) {
            QVERIFY(!core->openFile(failure.path));
            QVERIFY(!core->opened());
            QCOMPARE(core->statusText(), failure.text);
            QCOMPARE(core->statusColour(), StatusColour::Red);
        }
        QCOMPARE(statusChanges.size(), 2);

        QVERIFY(core->openFile(good));
        QVERIFY(core->opened());
        QCOMPARE(core->image().cell(0), QString("42"));
        QCOMPARE(core->statusText(), QString());
        QCOMPARE(core->previousFileName(), binary);

        QVERIFY(!core->mnuSaveAs(binary + "/below-a-file.cdt"));
        QVERIFY(core->statusText().startsWith("Can not save file "));
        // A save for another window gives that window the failure; the shared line stays.
        core->showStatus("kept", StatusColour::Blue);
        QVERIFY(core->saveCurrentFile().startsWith("Can not save file "));
        QCOMPARE(core->statusText(), QString("kept"));
        QVERIFY(core->mnuSaveAs(environment.path("saved.cdt")));
        QCOMPARE(core->statusText(), QString());
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
            QVERIFY(!core->openAndProgram(path));
            QCOMPARE(core->statusText(), "Not a coin data file: " + path);
            QVERIFY(!core->opened());
            QVERIFY(port->written.isEmpty());
        }
        const QString path = environment.path("good.cdt");
        QVERIFY(FileBytes::write(path, good));
        QVERIFY(core->openAndProgram(path));
        QVERIFY(runLinkUntilIdle());
        QCOMPARE(selector->writtenAddresses.size(), 184);
    }

    void aPortThatBreaksIsSaidUntilTheNextChoice()
    {
        core->choosePort(2);
        QCOMPARE(core->currentPortNumber(), 2);
        port->hangUp();
        QCOMPARE(core->statusText(), QString("warning:com2 closed: hung up"));
        QCOMPARE(core->statusColour(), StatusColour::Red);
        core->choosePort(2);
        QCOMPARE(core->statusText(), QString("commucation port use com2:"));
        QVERIFY(core->link().isPortOpen());
    }
};

QTEST_GUILESS_MAIN(ApplicationCoreTest)
#include "ApplicationCoreTest.moc"
