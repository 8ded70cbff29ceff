// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductionLog.h"
#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDateTime Noon(QDate(2026, 12, 7), QTime(12, 0), Qt::OffsetFromUTC, 3600);

ProductionRecord record(const QString& port, const QDateTime& time = Noon)
{
    return {time,      port,   "/dev/serial/by-id/usb-A",       "A5",
            "new.cdt", "ab12", ProductionLog::Outcome::NotHeld, true,
            {34, 76}};
}

} // namespace

class ProductionLogTest : public QObject
{
    Q_OBJECT

    QTemporaryDir root;
    QString path() const { return root.filePath(QStringLiteral("production.csv")); }

private slots:
    void init()
    {
        QFile::remove(path());
        QFile::remove(path() + ".1");
    }

    // The file rotates once it has reached its limit, not a line before; both files are read,
    // the old one first.
    void rotatesAtItsLimit_data()
    {
        QTest::addColumn<qint64>("slack");
        QTest::addColumn<bool>("rotated");
        QTest::newRow("one byte below the limit") << qint64(1) << false;
        QTest::newRow("at the limit") << qint64(0) << true;
    }
    void rotatesAtItsLimit()
    {
        QFETCH(qint64, slack);
        QFETCH(bool, rotated);
        QCOMPARE(ProductionLog(path()).append(record("first")), QString());
        const qint64 firstSize = QFileInfo(path()).size();

        const ProductionLog log(path(), firstSize + slack);
        QCOMPARE(log.append(record("second")), QString());
        QCOMPARE(QFile::exists(path() + ".1"), rotated);
        QCOMPARE(FileBytes::read(path()).contains(",first,"), !rotated);
        QVERIFY(FileBytes::read(path()).startsWith("time,"));
        const QList<QStringList> entries = log.entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0][1], "first");
        QCOMPARE(entries[1][1], "second");
    }

    // A file name comes back as it was, whatever it holds, and its record stays one record; the
    // log command's text (the records written out again) is the file itself. The header is
    // written once, and a time carries its offset.
    void fieldsComeBackAsWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("comma and quotes")
            << "new, \"final\".cdt" << QByteArray("\"new, \"\"final\"\".cdt\"");
        QTest::newRow("a quote, no comma")
            << "\"final\".cdt" << QByteArray("\"\"\"final\"\".cdt\"");
        QTest::newRow("a line break") << "new\nfinal.cdt" << QByteArray("\"new\nfinal.cdt\"");
        QTest::newRow("CR LF") << "new\r\nfinal.cdt" << QByteArray("\"new\r\nfinal.cdt\"");
        QTest::newRow("plain") << "new final.cdt" << QByteArray("new final.cdt");
    }
    void fieldsComeBackAsWritten()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, written);
        ProductionRecord odd = record("/dev/ttyUSB0");
        odd.file = name;
        const ProductionLog log(path());
        QCOMPARE(log.append(odd), QString());
        QCOMPARE(log.append(record("/dev/ttyUSB1")), QString());
        const QByteArray bytes = FileBytes::read(path());
        QVERIFY(bytes.startsWith("time,port,stable name,serial number,file,sha256,outcome,"
                                 "verified,differing addresses\r\n2026-12-07T12:00:00+01:00,"));
        QCOMPARE(bytes.count("time,port"), 1);
        QVERIFY2(bytes.contains(",A5," + written + ",ab12,"), bytes.constData());
        const QList<QStringList> entries = log.entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0],
                 (QStringList{"2026-12-07T12:00:00+01:00", "/dev/ttyUSB0", odd.stableName, "A5",
                              name, "ab12", "bytes not held", "yes", "34 76"}));
        QCOMPARE(entries[1][1], "/dev/ttyUSB1");
        QByteArray printed = ProductionLog::csvLine(ProductionLog::columns());
        for (const QStringList& entry : entries)
            printed += ProductionLog::csvLine(entry);
        QCOMPARE(printed, bytes);
    }

    // Two programs append at once, both having opened the log before either takes its lock:
    // one rotates a full file and the other writes into the new one, and a new file gets one
    // header. Each waits for the lock, held here until both have the log open.
    void twoProgramsAppendingAtOnce_data()
    {
        QTest::addColumn<bool>("full");
        QTest::newRow("both find the log full") << true;
        QTest::newRow("both find no log") << false;
    }
    void twoProgramsAppendingAtOnce()
    {
        QFETCH(bool, full);
        if (full)
            QCOMPARE(ProductionLog(path()).append(record("old")), QString());
        const QByteArray before = FileBytes::read(path());
        const qint64 limit = full ? before.size() : ProductionLog::DefaultRotationBytes;
        QLockFile lock(path() + ".lock");
        QVERIFY(lock.lock());
        std::array<pid_t, 2> children{};
        for (std::size_t i = 0; i < children.size(); ++i) {
            children[i] = fork();
            QVERIFY(children[i] >= 0);
            if (children[i] == 0)
                _exit(ProductionLog(path(), limit).append(record(QString::number(i))).isEmpty()
                          ? 0
                          : 1);
        }
        const auto holdsTheLog = [this](pid_t child) {
            const QFileInfoList open = QDir(QString("/proc/%1/fd").arg(child))
                                           .entryInfoList(QDir::AllEntries | QDir::System);
            return std::any_of(open.begin(), open.end(), [this](const QFileInfo& descriptor) {
                return descriptor.symLinkTarget() == path();
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(holdsTheLog(children[0]) && holdsTheLog(children[1]), 20000);
        lock.unlock();
        for (const pid_t child : children) {
            int status = -1;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const QByteArray bytes = FileBytes::read(path());
        QVERIFY(bytes.startsWith("time,port,"));
        QCOMPARE(bytes.count("time,port,"), 1);
        QCOMPARE(bytes.count("\r\n"), 3);
        QCOMPARE(FileBytes::read(path() + ".1"), before);
    }

    void sinceTakesItsOwnSecond_data()
    {
        QTest::addColumn<int>("sinceSeconds");
        QTest::addColumn<QStringList>("ports");
        QTest::newRow("at the second record") << 60 << QStringList{"B", "C"};
        QTest::newRow("a second after it") << 61 << QStringList{"C"};
    }
    void sinceTakesItsOwnSecond()
    {
        QFETCH(int, sinceSeconds);
        QFETCH(QStringList, ports);
        const ProductionLog log(path());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(log.append(record(QString(QChar('A' + i)), Noon.addSecs(60 * i))), QString());
        QStringList found;
        for (const QStringList& entry : log.entries(Noon.addSecs(sinceSeconds)))
            found.append(entry[1]);
        QCOMPARE(found, ports);
    }
};

QTEST_GUILESS_MAIN(ProductionLogTest)
#include "ProductionLogTest.moc"
