// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "CliReport.h"
#include "ParameterMap.h"
#include "ParameterNames.h"
#include "SelectorImage.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using Command = CliRequest::Command;

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesWhatEachCommandTakes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("command"); // -1: a usage error
        const auto row = [](const char* line, int command) {
            QTest::newRow(line) << QString(line) << command;
        };
        row("read --port /dev/ttyUSB0 -o a.cdt", int(Command::Read));
        row("read --port Com1 -o - --trace", int(Command::Read));
        row("program a.cdt --port Com9 --verify --json", int(Command::Program));
        row("diff a.cdt b.cdt", int(Command::Diff));
        row("diff a.cdt --port Com2", int(Command::Diff));
        row("show a.cdt --json", int(Command::Show));
        row("--help", int(Command::Help));
        row("ports --json", int(Command::Ports));
        row("check --port Com1 --json", int(Command::Check));
        row("help", int(Command::Help));
        row("--version", int(Command::Version));
        row("help show", -1);
        row("", -1);
        row("erase --port Com1", -1);
        row("read", -1);
        row("read --port Com1 -o - --json", -1);
        row("program --port Com1", -1);
        row("program a.cdt b.cdt --port Com1", -1);
        row("program a.cdt", -1);
        row("diff a.cdt", -1);
        row("diff a.cdt b.cdt --port Com1", -1);
        row("show a.cdt --port Com1", -1);
        row("ports --port Com1", -1);
        row("check", -1);
        row("check a.cdt --port Com1", -1);
        row("show a.cdt -o b.cdt", -1);
        row("read --port Com1 --verify", -1);
        row("read --port", -1);
        row("show a.cdt --colour", -1);
        row("program a.cdt --port Com1 --port Com2 --verify", int(Command::Program));
        row("read --port Com1 --port Com2 -o bench", int(Command::Read));
        row("read --port Com1 --port Com2", -1);
        row("read --port Com1 --port Com2 -o -", -1);
        row("log --since 2026-12-07 --json", int(Command::Log));
        row("log --since 2026-12-07T14:30", int(Command::Log));
        row("log --since 2026-12-32", -1);
        row("log --port Com1", -1);
        row("show a.cdt --since 2026-12-07", -1);
    }
    void parsesWhatEachCommandTakes()
    {
        QFETCH(QString, line);
        QFETCH(int, command);
        const auto parsed = CommandLine::parse(line.split(' ', Qt::SkipEmptyParts));
        if (command < 0) {
            QVERIFY(std::holds_alternative<QString>(parsed));
            QVERIFY(!std::get<QString>(parsed).isEmpty());
        } else {
            const CliRequest* request = std::get_if<CliRequest>(&parsed);
            QVERIFY(request);
            QCOMPARE(int(request->command), command);
        }
    }

    // A date alone starts at its midnight, local time.
    void sinceIsTheFirstMomentOfItsDate()
    {
        const auto parsed = CommandLine::parse({"log", "--since", "2026-12-07"});
        QCOMPARE(std::get<CliRequest>(parsed).since, QDate(2026, 12, 7).startOfDay());
    }

    void aPortNamedTwiceIsFound_data()
    {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<bool>("twice");
        QTest::newRow("two devices") << QStringList{"ROOT/device", "ROOT/other"} << false;
        QTest::newRow("written twice")
            << QStringList{"ROOT/device", "ROOT/other", "ROOT/device"} << true;
        QTest::newRow("by a link") << QStringList{"ROOT/device", "ROOT/link"} << true;
        QTest::newRow("by a Com item") << QStringList{"Com3", "ROOT/device"} << true;
        QTest::newRow("missing, written twice") << QStringList{"/no/such", "/no/such"} << true;
        QTest::newRow("bare and full name") << QStringList{"ttyUSB7", " /dev/ttyUSB7"} << true;
        QTest::newRow("bare names apart") << QStringList{"ttyUSB7", "ttyUSB8"} << false;
        QTest::newRow("blank names") << QStringList{"", " ", ""} << false;
    }
    void aPortNamedTwiceIsFound()
    {
        QFETCH(QStringList, ports);
        QFETCH(bool, twice);
        QTemporaryDir root;
        QSettings settings(root.filePath("settings.ini"), QSettings::IniFormat);
        settings.setValue("Ports/Com3", root.filePath("device"));
        QVERIFY(QFile(root.filePath("device")).open(QIODevice::WriteOnly));
        QVERIFY(QFile(root.filePath("other")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(root.filePath("device"), root.filePath("link")));
        for (QString& port : ports)
            port.replace("ROOT", root.path());
        QCOMPARE(!CommandLine::namedTwice(ports, settings).isEmpty(), twice);
    }

    // Every selector address has a name, and those in a diff say coin, bank and field.
    void differencesNameTheParameterAndItsDecodedFields_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("line");
        QTest::newRow("money") << ParameterMap::money(3) << 12 << 15
                               << "address 20  coin 3 bank A Money: 12 -> 15";
        QTest::newRow("flags") << ParameterMap::coinFlags(7) << 133 << 5
                               << "address 46  coin 7 bank B CoinFlags: 133 (Disable Yes, "
                                  "Separator 0, tolerance A 5) -> 5 (Disable No, Separator 0, "
                                  "tolerance A 5)";
        QTest::newRow("mode") << ParameterMap::OutputMode << 200 << 1
                              << "address 84  OutputMode: 200 (9. not availiable, High Inhibit)"
                                 " -> 1 (2. Pulse output with INHIBIT, Low Inhibit)";
        QTest::newRow("mt1") << ParameterMap::mt1(12) << 85 << 86
                             << "address 140  coin 12 bank B MT1: 85 (tolerance B 5, tolerance "
                                "C 5) -> 86 (tolerance B 6, tolerance C 5)";
        QTest::newRow("M2 of coin 6")
            << ParameterMap::m2(6) << 1 << 2 << "address 107  coin 6 bank A M2: 1 -> 2";
        QTest::newRow("M1 of coin 7")
            << ParameterMap::m1(7) << 1 << 2 << "address 108  coin 7 bank B M1: 1 -> 2";
        QTest::newRow("bank field")
            << ParameterMap::PriceB << 1 << 2 << "address 89  PriceB (bank B): 1 -> 2";
        QTest::newRow("second record") << 126 << 1 << 2 << "address 126  This2L: 1 -> 2";
        QTest::newRow("last table")
            << 188 << 1 << 2 << "address 188  coin 12 bank B Table177: 1 -> 2";
    }
    void differencesNameTheParameterAndItsDecodedFields()
    {
        QFETCH(int, address);
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QString, line);
        SelectorImage a;
        SelectorImage b;
        a.setNumber(address, first);
        b.setNumber(address, second);
        const QList<ByteDifference> found =
            CliReport::differences(a, b, CliReport::selectorAddresses());
        QCOMPARE(found.size(), 1);
        QCOMPARE(CliReport::differenceLine(found[0]), line);

        for (int each = 0; each < SelectorImage::SelectorByteCount; ++each)
            QVERIFY2(!ParameterNames::at(each).field.isEmpty(), qPrintable(QString::number(each)));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
