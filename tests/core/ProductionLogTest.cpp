// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductionLog.h"
#include "FileBytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

    // What a field holds comes back as it was, commas and quotes included; the header is
    // written once, and a time carries its offset.
    void fieldsComeBackAsWritten()
    {
        ProductionRecord odd = record("/dev/ttyUSB0");
        odd.file = QStringLiteral("/bench/new, \"final\".cdt");
        const ProductionLog log(path());
        QCOMPARE(log.append(odd), QString());
        QCOMPARE(log.append(record("/dev/ttyUSB1")), QString());
        const QByteArray bytes = FileBytes::read(path());
        QVERIFY(bytes.startsWith("time,port,stable name,serial number,file,sha256,outcome,"
                                 "verified,differing addresses\r\n2026-12-07T12:00:00+01:00,"));
        QCOMPARE(bytes.count("time,port"), 1);
        const QList<QStringList> entries = log.entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0],
                 (QStringList{"2026-12-07T12:00:00+01:00", "/dev/ttyUSB0", odd.stableName, "A5",
                              odd.file, "ab12", "bytes not held", "yes", "34 76"}));
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
