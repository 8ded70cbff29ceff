// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFile.h"

#include "CoinDataFile.h"
#include "HostileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#endif

class StartupFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString fileWith(const QByteArray& bytes)
    {
        const QString path = dir.filePath("cmose.sys");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the test file");
        file.write(bytes);
        return path;
    }
    // A complete file, blanks after its last line up to the given size.
    static QByteArray completeFileOf(qsizetype size)
    {
        return QByteArray("\"a\"\r\n\"b\"\r\n#FALSE#\r\n#TRUE#\r\n#FALSE#\r\n#TRUE#\r\n")
            .leftJustified(size, ' ');
    }

private slots:
    void writesSixQuotedAndFlagLines()
    {
        StartupSettings settings;
        settings.currentFile = "/data/a, b.cdt";
        settings.previousFile = "/data/old.cdt";
        settings.comChecked = {false, true, false, true};
        QCOMPARE(StartupFile::serialize(settings),
                 QByteArray(
                     "\"/data/a, "
                     "b.cdt\"\r\n\"/data/old.cdt\"\r\n#FALSE#\r\n#TRUE#\r\n#FALSE#\r\n#TRUE#\r\n"));
        const QString path = dir.filePath("written.sys");
        QVERIFY(StartupFile::write(path, settings));
        StartupSettings read;
        StartupFile::read(path, read);
        QCOMPARE(read.currentFile, settings.currentFile);
        QCOMPARE(read.previousFile, settings.previousFile);
        QCOMPARE(read.comChecked, settings.comChecked);
    }

    void namesWithQuotesComeBackWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("inside") << "/data/a\"b.cdt";
        QTest::newRow("last") << "a.cdt\"";
        QTest::newRow("two together") << "a\"\"b";
    }
    void namesWithQuotesComeBackWhole()
    {
        QFETCH(QString, name);
        const StartupSettings settings{name, "/data/old.cdt", {false, true, false, true}};
        const QByteArray bytes = StartupFile::serialize(settings);
        StartupSettings read;
        StartupFile::read(fileWith(bytes), read);
        QCOMPARE(read.currentFile, name);
        QCOMPARE(read.previousFile, settings.previousFile);
        QCOMPARE(read.comChecked, settings.comChecked);
        // A reader that ends a quoted text at its next quote still finds every line.
        QCOMPARE(CoinDataFile::parseFields(bytes).sliced(1),
                 QStringList({"/data/old.cdt", "#FALSE#", "#TRUE#", "#FALSE#", "#TRUE#"}));
    }

    // A line break in a name would split its line and shift the port checks after it.
    void namesEndAtTheirFirstLineBreak()
    {
        const StartupSettings settings{"/data/a\nb.cdt", "/x\"\r\ny", {false, true, false, true}};
        StartupSettings read;
        StartupFile::read(fileWith(StartupFile::serialize(settings)), read);
        QCOMPARE(read.currentFile, QString("/data/a"));
        QCOMPARE(read.previousFile, QString("/x\""));
        QCOMPARE(read.comChecked, settings.comChecked);
    }

    void readingAppliesLinesUntilTheFirstBadOne_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("checks");
        QTest::newRow("complete, LF only")
            << QByteArray("\"a\"\n\"b\"\n#FALSE#\n#TRUE#\n#FALSE#\n#TRUE#\n") << "a"
            << "b"
            << "0101";
        QTest::newRow("short") << QByteArray("\"a\"\r\n\"b\"\r\n#FALSE#\r\n") << "a"
                               << "b"
                               << "0000";
        QTest::newRow("one name only") << QByteArray("\"a\"\r\n") << "a"
                                       << "old2"
                                       << "1000";
        QTest::newRow("bad flag stops")
            << QByteArray("\"a\"\r\n\"b\"\r\n#FALSE#\r\nyes\r\n#TRUE#\r\n#TRUE#\r\n") << "a"
            << "b"
            << "0000";
        QTest::newRow("exactly 64 KiB") << completeFileOf(64 * 1024) << "a"
                                        << "b"
                                        << "0101";
        QTest::newRow("empty file") << QByteArray() << "old1"
                                    << "old2"
                                    << "1000";
    }
    void readingAppliesLinesUntilTheFirstBadOne()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, current);
        QFETCH(QString, previous);
        QFETCH(QString, checks);
        StartupSettings settings{"old1", "old2", {true, false, false, false}};
        StartupFile::read(fileWith(content), settings);
        QCOMPARE(settings.currentFile, current);
        QCOMPARE(settings.previousFile, previous);
        QString shown;
        for (bool checked : settings.comChecked)
            shown += checked ? '1' : '0';
        QCOMPARE(shown, checks);
    }

    // None of these may hold up start-up: each is passed over as if there were no file.
    void aMissingOversizedOrSpecialFileChangesNothing_data()
    {
        QTest::addColumn<HostileFile::Kind>("kind");
        QTest::addColumn<QByteArray>("bytes");
        using Kind = HostileFile::Kind;
        QTest::newRow("missing") << Kind::Missing << QByteArray();
        QTest::newRow("a byte above 64 KiB") << Kind::Bytes << completeFileOf(64 * 1024 + 1);
        QTest::newRow("sparse 5 GiB") << Kind::Sparse << QByteArray();
        QTest::newRow("directory") << Kind::Directory << QByteArray();
        QTest::newRow("pipe") << Kind::Pipe << QByteArray();
        QTest::newRow("link to a device") << Kind::DeviceLink << QByteArray();
    }
    void aMissingOversizedOrSpecialFileChangesNothing()
    {
        QFETCH(HostileFile::Kind, kind);
        QFETCH(QByteArray, bytes);
        const QString path = dir.filePath(QTest::currentDataTag());
        QVERIFY(HostileFile::make(kind, path, bytes));
        StartupSettings settings{"old1", "old2", {true, false, false, false}};
        StartupFile::read(path, settings);
        QCOMPARE(settings.currentFile, QString("old1"));
        QCOMPARE(settings.previousFile, QString("old2"));
        QCOMPARE(settings.comChecked[0], true);
    }
};

QTEST_GUILESS_MAIN(StartupFileTest)
#include "StartupFileTest.moc"
