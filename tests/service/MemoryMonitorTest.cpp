// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryMonitor.h"

#include <QTest>

using Row = MemoryMonitor::Row;
Q_DECLARE_METATYPE(Row)

class MemoryMonitorTest : public QObject
{
    Q_OBJECT

    static QStringList texts(const MemoryMonitor::RowUpdate& update)
    {
        return QStringList(update.texts.begin(), update.texts.end());
    }

private slots:
    void routesEachReadToItsRows_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // hexadecimal
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<QStringList>("lastMessage"); // empty: nothing is shown
        QTest::addColumn<int>("answerRow");           // -1: no answer row
        QTest::addColumn<QStringList>("answer");

        QTest::newRow("ID, decimal")
            << QByteArray("9A53494D8F") << true << QStringList{"154", "83", "73", "77", "143"}
            << int(Row::Id) << QStringList{"9A", "53", "49", "4D", "8F"};
        QTest::newRow("ID, hexadecimal")
            << QByteArray("9A010203A0") << false << QStringList{"9A", "1", "2", "3", "A0"}
            << int(Row::Id) << QStringList{"9A", "1", "2", "3", "A0"};
        QTest::newRow("CHP") << QByteArray("001027C3FA") << true
                             << QStringList{"0", "16", "39", "195", "250"} << int(Row::Chp)
                             << QStringList{"0", "10", "27", "C3", "FA"};
        QTest::newRow("CPR") << QByteArray("0727C70F04") << false
                             << QStringList{"7", "27", "C7", "F", "4"} << int(Row::Cpr)
                             << QStringList{"7", "27", "C7", "F", "4"};
        QTest::newRow("CHP pattern but its last byte")
            << QByteArray("001027C4FB") << true << QStringList{"0", "16", "39", "196", "251"} << -1
            << QStringList{};
        QTest::newRow("CPR pattern but its first byte")
            << QByteArray("0827C70F05") << true << QStringList{"8", "39", "199", "15", "5"} << -1
            << QStringList{};
        QTest::newRow("event") << QByteArray("942C0105C6") << true
                               << QStringList{"148", "44", "1", "5", "198"} << -1 << QStringList{};
        QTest::newRow("two together: the first")
            << QByteArray("001027C3FA9A010203A0") << true
            << QStringList{"0", "16", "39", "195", "250"} << int(Row::Chp)
            << QStringList{"0", "10", "27", "C3", "FA"};
        QTest::newRow("four bytes")
            << QByteArray("9A010203") << true << QStringList{} << -1 << QStringList{};
    }
    void routesEachReadToItsRows()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, decimal);
        QFETCH(QStringList, lastMessage);
        QFETCH(int, answerRow);
        QFETCH(QStringList, answer);
        MemoryMonitor monitor;
        const QList<MemoryMonitor::RowUpdate> updates =
            monitor.take(QByteArray::fromHex(bytes), decimal);
        const qsizetype expected = lastMessage.isEmpty() ? 0 : (answerRow < 0 ? 1 : 2);
        QCOMPARE(updates.size(), expected);
        if (expected == 0)
            return;
        QCOMPARE(updates[0].row, Row::LastMessage);
        QCOMPARE(texts(updates[0]), lastMessage);
        if (expected == 2) {
            QCOMPARE(updates[1].row, Row(answerRow));
            QCOMPARE(texts(updates[1]), answer);
        }
        QVERIFY(monitor.log().isEmpty());
    }

    void keepsAtMostThreeHundredSensorTimeEvents()
    {
        MemoryMonitor monitor;
        monitor.take(QByteArray::fromHex("AA0CC80381"), true);
        monitor.take(QByteArray::fromHex("AA0D"), true);                // too short
        monitor.take(QByteArray::fromHex("940CC80381"), true);          // another event
        monitor.take(QByteArray::fromHex("AAFF0001AA942C0105"), false); // the first of two
        QCOMPARE(monitor.logFileText(), QByteArray("cntah,time1,time2\r\n12,200,3\r\n255,0,1\r\n"));
        for (int i = 0; i < MemoryMonitor::MaxLogRecords; ++i)
            monitor.take(QByteArray::fromHex("AA01020300"), true);
        QCOMPARE(monitor.log().size(), MemoryMonitor::MaxLogRecords);
        QCOMPARE(monitor.log().last().cntAH, quint8(1));
        QCOMPARE(monitor.log().first().cntAH, quint8(12));
    }
};

QTEST_GUILESS_MAIN(MemoryMonitorTest)
#include "MemoryMonitorTest.moc"
