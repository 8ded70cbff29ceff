// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestEnvironment.h"
#include "CoinDataFile.h"
#include "DefaultSets.h"
#include "FileBytes.h"
#include "ParameterMap.h"
#include "SelectorImage.h"
#include "SelectorSimulator.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <csignal>

using selectorsim::Fault;
using selectorsim::SelectorSimulator;

namespace {

constexpr int Patience = 60000; // ms; generous, the machine may be busy

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

// The command-line program as a bench script runs it: a separate process on the virtual
// selector's pseudo-terminal, with its own settings and data folder.
class CliOverPtyTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;
    std::unique_ptr<SelectorSimulator> simulator;

    QString device() const { return QString::fromStdString(simulator->devicePath()); }
    QString file(const QString& name) const { return environment.path(name); }

    CliRun run(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        process.start(QStringLiteral(TARNVELLO_CLI), arguments);
        CliRun result;
        if (!process.waitForFinished(Patience)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    CliRun readInto(const QString& path) { return run({"read", "--port", device(), "-o", path}); }

    static SelectorImage loaded(const QString& path)
    {
        SelectorImage image;
        CoinDataFile::load(path, image);
        return image;
    }

    // A bench of selectors besides the fixture's, each on its own pseudo-terminal.
    static std::vector<std::unique_ptr<SelectorSimulator>> moreSelectors(int count)
    {
        std::vector<std::unique_ptr<SelectorSimulator>> selectors;
        for (int i = 0; i < count; ++i) {
            selectors.push_back(std::make_unique<SelectorSimulator>());
            if (!selectors.back()->start())
                return {};
        }
        return selectors;
    }
    static QString deviceOf(const SelectorSimulator& selector)
    {
        return QString::fromStdString(selector.devicePath());
    }

    // A file whose coin values no fresh selector holds; its name.
    QString changedFile()
    {
        if (readInto(file("bench.cdt")).exitCode != 0)
            return QString();
        SelectorImage image = loaded(file("bench.cdt"));
        for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin)
            image.setNumber(ParameterMap::money(coin), 200 + coin);
        return CoinDataFile::save(file("changed.cdt"), image) ? file("changed.cdt") : QString();
    }
    static bool holdsCoins(const SelectorSimulator& selector, int except = -1)
    {
        for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin)
            if (ParameterMap::money(coin) != except &&
                selector.memoryAt(ParameterMap::money(coin)) != 200 + coin)
                return false;
        return true;
    }

private slots:
    void init()
    {
        environment.reset();
        simulator = std::make_unique<SelectorSimulator>();
        QVERIFY2(simulator->start(), simulator->errorString().c_str());
    }
    void cleanup() { simulator.reset(); }

    void aReadChangedAndProgrammedWithVerifyEndsInTheSelector()
    {
        const CliRun read = readInto(file("bench.cdt"));
        QCOMPARE(read.exitCode, 0);
        // Whole lines: a fragment would pass with the file and the port swapped.
        QCOMPARE(read.err,
                 "Read the selector on " + device() + " into " + file("bench.cdt") + '\n');
        SelectorImage image = loaded(file("bench.cdt"));
        for (int a = 0; a < SelectorImage::SelectorByteCount; ++a)
            QCOMPARE(image.selectorByte(a), simulator->memoryAt(a));

        const int money = ParameterMap::money(5);
        image.setNumber(money, image.selectorByte(money) + 3);
        QVERIFY(CoinDataFile::save(file("changed.cdt"), image));
        const CliRun program =
            run({"program", file("changed.cdt"), "--port", device(), "--verify"});
        QCOMPARE(program.exitCode, 0);
        QCOMPARE(simulator->memoryAt(money), image.selectorByte(money));
        QCOMPARE(program.err, "Programmed " + file("changed.cdt") + " into the selector on " +
                                  device() +
                                  " and read it back: the selector holds every byte programmed\n");

        // What the selector held before, and what went in.
        const QStringList journal =
            QDir(environment.dataFolder() + "/journal").entryList(QDir::Files, QDir::Name);
        QCOMPARE(journal.size(), 2); // read, program (its read-back is part of it)
        QVERIFY(journal[1].endsWith("-program.cdt"));
        QCOMPARE(loaded(environment.dataFolder() + "/journal/" + journal[1]).cell(money),
                 image.cell(money));
    }

    // Every programmed address is compared, the last of each block (84, 123, 188) too.
    void verifyNamesTheAddressesTheSelectorDidNotTake()
    {
        QCOMPARE(readInto(file("bench.cdt")).exitCode, 0);
        const QList<int> spoiled{ParameterMap::coinFlags(9), 84, 123, 188};
        for (const int address : spoiled)
            simulator->queueFaultAt(address, Fault::CorruptWrite, 4); // the rewrite too
        const CliRun program =
            run({"program", file("bench.cdt"), "--port", device(), "--verify", "--json"});
        QCOMPARE(program.exitCode, 1);
        const QJsonObject result = QJsonDocument::fromJson(program.out.toUtf8()).object();
        QCOMPARE(result["ok"].toBool(true), false);
        const QJsonArray differences = result["differences"].toArray();
        QCOMPARE(differences.size(), spoiled.size());
        for (qsizetype i = 0; i < spoiled.size(); ++i) {
            QCOMPARE(differences[i]["address"].toInt(), spoiled[i]);
            QCOMPARE(differences[i]["second"]["byte"].toInt(), simulator->memoryAt(spoiled[i]));
        }
    }

    void diffNamesTheCoinAndBankThatDiffer()
    {
        QCOMPARE(readInto(file("a.cdt")).exitCode, 0);
        SelectorImage image = loaded(file("a.cdt"));
        image.setNumber(ParameterMap::money(8), image.selectorByte(ParameterMap::money(8)) + 1);
        QVERIFY(CoinDataFile::save(file("b.cdt"), image));

        const CliRun differs = run({"diff", file("a.cdt"), file("b.cdt")});
        QCOMPARE(differs.exitCode, 1);
        QCOMPARE(differs.out.count('\n'), 1);
        QVERIFY2(differs.out.contains("coin 8 bank B Money"), qPrintable(differs.out));
        const CliRun same = run({"diff", file("a.cdt"), "--port", device()});
        QCOMPARE(same.exitCode, 0);
        QCOMPARE(same.out, QString());
        // Two files have no port to name.
        const CliRun json = run({"diff", file("a.cdt"), file("b.cdt"), "--json"});
        QVERIFY2(!QJsonDocument::fromJson(json.out.toUtf8()).object().contains("port"),
                 qPrintable(json.out));
    }

    // The listing as a technician reads it and as a script parses it, on a file in which coin
    // 6 has a separator and coin 7, the first of bank B, is disabled.
    void showListsTheFileAsTheEditorShowsIt()
    {
        SelectorImage image;
        DefaultSets::applyEditorDefaults(image);
        for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin)
            image.setNumber(ParameterMap::money(coin), 10 * coin);
        for (int address = ParameterMap::SerialNo; address <= ParameterMap::HoldTime; ++address)
            image.setNumber(address, address); // each general field says where it comes from
        image.setNumber(ParameterMap::coinFlags(6), 39);  // separator 2, tolerance A 7
        image.setNumber(ParameterMap::coinFlags(7), 133); // disabled, tolerance A 5
        image.setNumber(ParameterMap::mt1(7), 0x36);      // tolerance B 6, tolerance C 3
        QVERIFY(CoinDataFile::save(file("shown.cdt"), image));

        const CliRun text = run({"show", file("shown.cdt")});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, QString::fromUtf8(FileBytes::read(GOLDEN_DIR "/show.txt")));
        const CliRun json = run({"show", file("shown.cdt"), "--json"});
        QCOMPARE(json.exitCode, 0);
        QJsonObject expected =
            QJsonDocument::fromJson(FileBytes::read(GOLDEN_DIR "/show.json")).object();
        expected["file"] = file("shown.cdt");
        QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).object(), expected);
    }

    void aSilentSelectorFailsWithTheProgramsText_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("failure");
        QTest::newRow("read") << QStringList{"read"} << "Read selector error";
        QTest::newRow("program") << QStringList{"program", "bench.cdt"}
                                 << "Program to selector error";
    }
    void aSilentSelectorFailsWithTheProgramsText()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, failure);
        QCOMPARE(readInto(file("bench.cdt")).exitCode, 0);
        simulator->setSilent(true);
        if (arguments.size() > 1)
            arguments[1] = file(arguments[1]);
        const CliRun run = this->run(arguments + QStringList{"--port", device()});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(failure +
                                  "\nCheck the cable and the selector's power, and that "
                                  "the selector is on the port " +
                                  device()),
                 qPrintable(run.err));
    }

    void portsAndFilesThatCannotBeUsed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("no such device")
            << QStringList{"read", "--port", "/dev/no-such-port"} << 4
            << "Can not open port: no device /dev/no-such-port: is the adapter plugged in?";
        QTest::newRow("missing file")
            << QStringList{"show", "/no/such.cdt"} << 2 << "Can not read file /no/such.cdt";
        QTest::newRow("bad usage") << QStringList{"program", "--port", "x"} << 2 << "--help";
        QTest::newRow("ports with a stray argument") << QStringList{"ports", "x"} << 2 << "--help";
        QTest::newRow("text shown")
            << QStringList{"show", "notes.txt"} << 2 << "Not a coin data file: ";
        QTest::newRow("short file shown")
            << QStringList{"show", "short.cdt"} << 0 << "Not a complete coin data file: ";
        QTest::newRow("text compared") << QStringList{"diff", "short.cdt", "notes.txt"} << 1
                                       << "Not a complete coin data file: ";
    }
    void portsAndFilesThatCannotBeUsed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QVERIFY(FileBytes::write(file("notes.txt"), "Selector notes, bench 2\n"));
        QVERIFY(FileBytes::write(file("short.cdt"), "\"5\"\r\n\"7\"\r\n"));
        for (QString& argument : arguments)
            if (argument.endsWith(".txt") || (argument.endsWith(".cdt") && !argument.contains('/')))
                argument = file(argument);
        const CliRun run = this->run(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
    }

    // The read goes to the device the settings give Com3. The selector stays silent: whether a
    // read succeeds would hang on its answers coming within the link's 0.2 s on a busy machine,
    // and what is tested here is only where the frames go.
    void aComItemIsTheDeviceTheSettingsMapItTo()
    {
        QSettings settings;
        settings.setValue("Ports/Com3", device());
        settings.setValue("Ports/Com9", "/dev/no-such-adapter");
        settings.sync();
        simulator->setSilent(true);
        const CliRun mapped = run({"read", "--port", "com3"});
        QCOMPARE(mapped.exitCode, 3);
        QVERIFY2(mapped.err.contains("on the port " + device() + " (com3 in the settings)"),
                 qPrintable(mapped.err));
        QVERIFY(simulator->countReceived(0xE1) > 0);
        const CliRun unmapped = run({"read", "--port", "Com9"});
        QCOMPARE(unmapped.exitCode, 4);
        QVERIFY2(unmapped.err.contains("/dev/no-such-adapter"), qPrintable(unmapped.err));

        const CliRun ports = run({"ports", "--json"});
        QCOMPARE(ports.exitCode, 0);
        const QJsonObject listed = QJsonDocument::fromJson(ports.out.toUtf8()).object();
        QCOMPARE(listed["comItems"].toObject()["Com3"].toString(), device());
        QVERIFY(listed["devices"].isArray());
    }

    // One command for a bench of four: the selector that stores address 34 wrongly, even when
    // it is written again, is the only one the summary and the production log name.
    void aBenchOfSelectorsIsProgrammedAndVerifiedAtOnce()
    {
        const QString changed = changedFile();
        QVERIFY(!changed.isEmpty());
        auto others = moreSelectors(3);
        QVERIFY(others.size() == 3);
        const int spoiled = ParameterMap::money(5);
        QCOMPARE(spoiled, 34);
        others[1]->queueFaultAt(spoiled, Fault::CorruptWrite, 4);
        const QStringList ports{device(), deviceOf(*others[0]), deviceOf(*others[1]),
                                deviceOf(*others[2])};
        QStringList arguments{"program", changed, "--verify"};
        for (const QString& port : ports)
            arguments << "--port" << port;

        const CliRun program = run(arguments);
        QCOMPARE(program.exitCode, 1);
        const QStringList summary = program.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(summary.size(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(summary[i], ports[i] + (i == 2 ? "  programmed, but the selector does not "
                                                      "hold the bytes at addresses 34"
                                                    : "  programmed and verified"));
        QVERIFY(holdsCoins(*simulator));
        QVERIFY(holdsCoins(*others[0]) && holdsCoins(*others[2]));
        QVERIFY(holdsCoins(*others[1], spoiled));
        QVERIFY(others[1]->memoryAt(spoiled) != 205);

        const CliRun log = run({"log", "--json"});
        QCOMPARE(log.exitCode, 0);
        const QJsonArray entries =
            QJsonDocument::fromJson(log.out.toUtf8()).object()["entries"].toArray();
        QCOMPARE(entries.size(), 4);
        const QString sha256 = QString::fromLatin1(
            QCryptographicHash::hash(FileBytes::read(changed), QCryptographicHash::Sha256).toHex());
        QStringList logged;
        for (const QJsonValue& entry : entries)
            logged << QStringList{entry["port"].toString(), entry["sha256"].toString(),
                                  entry["outcome"].toString(), entry["verified"].toString(),
                                  entry["differing addresses"].toString()}
                          .join(' ');
        QStringList expected;
        for (int i = 0; i < 4; ++i)
            expected << ports[i] + ' ' + sha256 +
                            (i == 2 ? " bytes not held yes 34" : " programmed yes ");
        logged.sort(); // they are in the order the ports ended
        expected.sort();
        QCOMPARE(logged, expected);
    }

    // Refused before anything is sent: the same device twice, here by a link to it.
    void aPortNamedTwiceSendsNothing()
    {
        QVERIFY(QFile::link(device(), file("selector-link")));
        const CliRun program =
            run({"program", file("any.cdt"), "--port", device(), "--port", file("selector-link")});
        QCOMPARE(program.exitCode, 2);
        QVERIFY2(program.err.contains("are the same port"), qPrintable(program.err));
        QVERIFY(simulator->receivedFrames().empty());
    }

    void aMissingPortFailsAloneAndTheOthersAreProgrammed()
    {
        const QString changed = changedFile();
        QVERIFY(!changed.isEmpty());
        auto others = moreSelectors(1);
        QVERIFY(others.size() == 1);
        const CliRun program = run({"program", changed, "--port", device(), "--port",
                                    "/dev/no-such-port", "--port", deviceOf(*others[0])});
        QCOMPARE(program.exitCode, 4);
        QVERIFY2(program.out.contains("/dev/no-such-port  failed (exit code 4): Can not open"),
                 qPrintable(program.out));
        QVERIFY(holdsCoins(*simulator));
        QVERIFY(holdsCoins(*others[0]));
    }

    // On several ports, what each port's own command would say reaches standard error after its
    // port, and a programming's JSON has the same fields whether it was read back or not.
    void eachOfSeveralPortsSpeaksForItself_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");        // by each port, after "<port>: "; empty: nothing
        QTest::addColumn<QJsonValue>("verified"); // undefined: no such field
        QTest::addColumn<int>("exitCode");
        QTest::newRow("diff of a short file")
            << QStringList{"diff", "short.cdt"}
            << "Not a complete coin data file: short.cdt (program refuses it); what it does not "
               "give as a number counts as 0"
            << QJsonValue(QJsonValue::Undefined) << 1;
        QTest::newRow("program") << QStringList{"program", "changed.cdt"}
                                 << "Programmed changed.cdt into the selector on PORT"
                                 << QJsonValue(false) << 0;
        QTest::newRow("program, verified")
            << QStringList{"program", "changed.cdt", "--verify"} << "" << QJsonValue(true) << 0;
    }
    void eachOfSeveralPortsSpeaksForItself()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        QFETCH(QJsonValue, verified);
        QFETCH(int, exitCode);
        QVERIFY(!changedFile().isEmpty());
        QVERIFY(FileBytes::write(file("short.cdt"), "\"5\"\r\n\"7\"\r\n"));
        auto others = moreSelectors(1);
        QVERIFY(others.size() == 1);
        const QStringList ports{device(), deviceOf(*others[0])};
        for (const QString name : {"short.cdt", "changed.cdt"}) {
            arguments.replaceInStrings(QRegularExpression("^" + name + "$"), file(name));
            said.replace(name, file(name));
        }
        const CliRun run =
            this->run(arguments + QStringList{"--json", "--port", ports[0], "--port", ports[1]});
        QCOMPARE(run.exitCode, exitCode);
        const QJsonArray results = QJsonDocument::fromJson(run.out.toUtf8()).array();
        QCOMPARE(results.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const QString line = ports[i] + ": " + QString(said).replace("PORT", ports[i]) + '\n';
            QCOMPARE(run.err.count(line), said.isEmpty() ? 0 : 1);
            QCOMPARE(results[i]["verified"], verified);
            if (!verified.isUndefined())
                QCOMPARE(
                    results[i].toObject().keys(),
                    (QStringList{"command", "differences", "exitCode", "ok", "port", "verified"}));
        }
    }

    void checkTellsAScriptWhetherTheSelectorAnswers_data()
    {
        QTest::addColumn<QString>("port"); // empty: the selector's
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::newRow("answers") << "" << false << 0 << "answers";
        QTest::newRow("silent") << "" << true << 3 << "silent";
        QTest::newRow("no device") << "/dev/no-such-port" << false << 4 << "cannot open";
    }
    void checkTellsAScriptWhetherTheSelectorAnswers()
    {
        QFETCH(QString, port);
        QFETCH(bool, silent);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        simulator->setSilent(silent);
        const CliRun check = run({"check", "--port", port.isEmpty() ? device() : port, "--json"});
        QCOMPARE(check.exitCode, exitCode);
        const QJsonObject json = QJsonDocument::fromJson(check.out.toUtf8()).object();
        QCOMPARE(json["result"].toString(), result);
        QCOMPARE(json["ok"].toBool(), exitCode == 0);
        QCOMPARE(simulator->countReceived(0xE1) > 0, port.isEmpty());
        QCOMPARE(simulator->countReceived(0xE2), 0);
    }

    // Through a line that only echoes nobody answers, which a programming can tell only by its
    // read-back.
    void aLineThatOnlyEchoesIsNoSelector_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QString echo = "only the echo of each request came back: no selector answers";
        QTest::newRow("check") << "check" << 3 << "Only the echo of what is sent comes back";
        QTest::newRow("read") << "read" << 3 << "Read selector error: " + echo;
        QTest::newRow("program") << "program" << 0 << "Programmed ";
        QTest::newRow("program --verify")
            << "program --verify" << 3 << "Program to selector error: " + echo;
    }
    void aLineThatOnlyEchoesIsNoSelector()
    {
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const QString changed = changedFile();
        simulator =
            std::make_unique<SelectorSimulator>(selectorsim::SimulatorOptions{.loopback = true});
        QVERIFY(simulator->start());
        QStringList arguments = command.split(' ') << "--port" << device();
        if (arguments[0] == "read")
            arguments << "-o" << file("read.cdt");
        if (arguments[0] == "program")
            arguments.insert(1, changed);
        const CliRun run = this->run(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
    }

    // Behind an adapter that holds every answer back 16 ms a read and a check say so, once; on
    // the plain line a read does not (the first test compares the whole of standard error).
    void aSlowAdapterIsNamedOnce()
    {
        selectorsim::SimulatorOptions slowAdapter;
        slowAdapter.adapterLatency = std::chrono::milliseconds(16);
        simulator = std::make_unique<SelectorSimulator>(slowAdapter);
        QVERIFY(simulator->start());
        for (const QStringList& command :
             {QStringList{"read", "-o", file("slow.cdt")}, QStringList{"check"}}) {
            const CliRun slow = run(command + QStringList{"--port", device()});
            QCOMPARE(slow.exitCode, 0);
            QCOMPARE(slow.err.count("ms late: the adapter holds them back (its latency timer); "
                                    "see 'A slow adapter' in the README\n"),
                     1);
        }
    }

    // A signal once a programming's first frame has gone lets it finish, its result said as
    // usual. One that came before (here while the program started), or during a read, ends the
    // command at once as the signal does, and a programming sends nothing.
    void aSignalLetsAProgrammingFinish_data()
    {
        QTest::addColumn<bool>("programming");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("sentFirst"); // the frame it follows (lead byte; 0 any), -1 none
        QTest::newRow("SIGTERM before the first frame") << true << SIGTERM << -1;
        QTest::newRow("SIGINT before the first frame") << true << SIGINT << -1;
        QTest::newRow("SIGINT after the first frame") << true << SIGINT << 0;
        QTest::newRow("SIGTERM in the second block") << true << SIGTERM << 0x89;
        QTest::newRow("SIGTERM during a read") << false << SIGTERM << 0xE1;
    }
    void aSignalLetsAProgrammingFinish()
    {
        QFETCH(bool, programming);
        QFETCH(int, signal);
        QFETCH(int, sentFirst);
        const QString changed = changedFile();
        QVERIFY(!changed.isEmpty());
        SelectorImage image = loaded(changed); // and a byte of the last block
        const std::uint8_t last = simulator->memoryAt(180) ^ 1;
        image.setNumber(180, last);
        QVERIFY(CoinDataFile::save(changed, image));
        simulator->clearReceived();
        std::atomic<pid_t> pid{0};
        std::atomic<bool> signalled{false};
        simulator->setRequestListener([&](const selectorsim::Frame& frame) {
            if ((sentFirst == 0 || frame[0] == sentFirst) && pid != 0 && !signalled.exchange(true))
                ::kill(pid, signal);
        });
        const auto unlisten = qScopeGuard([&] { simulator->setRequestListener({}); });
        QProcess process;
        if (sentFirst < 0)
            process.setChildProcessModifier([signal] { // pending from the start
                sigset_t set;
                sigemptyset(&set);
                sigaddset(&set, signal);
                pthread_sigmask(SIG_BLOCK, &set, nullptr);
                ::raise(signal);
            });
        process.start(QStringLiteral(TARNVELLO_CLI),
                      programming ? QStringList{"program", changed, "--port", device()}
                                  : QStringList{"read", "--port", device()});
        pid = pid_t(process.processId());
        QVERIFY(process.waitForFinished(Patience));
        const bool finishes = programming && sentFirst >= 0;
        QCOMPARE(process.exitStatus(), finishes ? QProcess::NormalExit : QProcess::CrashExit);
        QCOMPARE(process.exitCode(), finishes ? 0 : signal); // a shell shows 128 + signal
        QCOMPARE(holdsCoins(*simulator) && simulator->memoryAt(180) == last, finishes);
        QCOMPARE(simulator->receivedFrames().empty(), sentFirst < 0);
        if (finishes)
            QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                     "\ntarnvello-cli: finishing the programming before ending\nProgrammed " +
                         changed + " into the selector on " + device() + '\n');
    }

    void theTraceShowsEveryFrameAndTheRetry()
    {
        simulator->queueFaultAt(3, Fault::NoReply);
        const CliRun read = run({"read", "--port", device(), "-o", "-", "--trace"});
        QCOMPARE(read.exitCode, 0);
        const QStringList lines = read.err.split('\n', Qt::SkipEmptyParts);
        const auto count = [&](const QString& event) {
            return lines.filter(QRegularExpression("^tarnvello\\.link: +[0-9.]+ ms  " + event))
                .size();
        };
        QCOMPARE(count("sent E1 "), SelectorImage::SelectorByteCount + 1);
        QCOMPARE(count("received E1 "), SelectorImage::SelectorByteCount);
        QCOMPARE(count("time-out"), 1);
        QCOMPARE(count("retry after no reply"), 1);
        QCOMPARE(read.out.count('\n'), SelectorImage::CellCount); // the coin data file
    }
};

QTEST_GUILESS_MAIN(CliOverPtyTest)
#include "CliOverPtyTest.moc"
