// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestEnvironment.h"
#include "CoinDataFile.h"
#include "DefaultSets.h"
#include "FileBytes.h"
#include "ParameterMap.h"
#include "SelectorImage.h"
#include "SelectorSimulator.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

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
        QVERIFY2(program.err.contains("read it back: the selector holds every byte programmed"),
                 qPrintable(program.err));

        // What the selector held before, and what went in.
        const QStringList journal =
            QDir(environment.dataFolder() + "/journal").entryList(QDir::Files, QDir::Name);
        QCOMPARE(journal.size(), 3); // read, program, verifying read
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
            simulator->queueFaultAt(address, Fault::CorruptWrite);
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

    void aComItemIsTheDeviceTheSettingsMapItTo()
    {
        QSettings settings;
        settings.setValue("Ports/Com3", device());
        settings.setValue("Ports/Com9", "/dev/no-such-adapter");
        settings.sync();
        QCOMPARE(run({"read", "--port", "com3", "-o", file("mapped.cdt")}).exitCode, 0);
        QCOMPARE(loaded(file("mapped.cdt")).selectorByte(ParameterMap::SerialNo),
                 simulator->memoryAt(ParameterMap::SerialNo));
        const CliRun unmapped = run({"read", "--port", "Com9"});
        QCOMPARE(unmapped.exitCode, 4);
        QVERIFY2(unmapped.err.contains("/dev/no-such-adapter"), qPrintable(unmapped.err));

        const CliRun ports = run({"ports", "--json"});
        QCOMPARE(ports.exitCode, 0);
        const QJsonObject listed = QJsonDocument::fromJson(ports.out.toUtf8()).object();
        QCOMPARE(listed["comItems"].toObject()["Com3"].toString(), device());
        QVERIFY(listed["devices"].isArray());
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
