// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinReport.h"

#include <QTest>

class CoinReportTest : public QObject
{
    Q_OBJECT
private slots:
    void readsEachFieldFromItsPlace()
    {
        // 90+12+34+05 = DB; 00+50+80+7E = 14E. Trailing bytes belong to the next report.
        const auto report = CoinReport::fromBytes(QByteArray::fromHex("90123405DB0050807E4E77"));
        QVERIFY(report);
        QCOMPARE(report->code(), 0x90);
        QCOMPARE(report->ab(), 0x1234);
        QCOMPARE(report->c(), 0x05);
        QCOMPARE(report->x(), 0x50);
        QCOMPARE(report->y(), 0x80);
        QCOMPARE(report->dH(), 0x7E);
        QVERIFY(report->hasValidChecksums());
        QVERIFY(report->isAcceptedForTeaching());
        QVERIFY(!report->isSpeedStrange());
    }

    void fewerThanTenBytesAreNoReport()
    {
        for (const int size : {0, 4, 5, 9})
            QVERIFY(!CoinReport::fromBytes(QByteArray::fromHex("90123405DB0050807E4E").left(size)));
    }

    void teachingTakesOnlyIntactReportsWithAOfAtMost127_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("checksumsValid");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("intact") << QByteArray::fromHex("90123405DB0050807E4E") << true << true;
        QTest::newRow("first checksum off")
            << QByteArray::fromHex("90123405DC0050807E4E") << false << false;
        QTest::newRow("second checksum off")
            << QByteArray::fromHex("90123405DB0050807E4F") << false << false;
        // The spare byte is covered by the second checksum although nobody reads it.
        QTest::newRow("spare byte changed")
            << QByteArray::fromHex("90123405DB0150807E4E") << false << false;
        QTest::newRow("A = 127") << QByteArray::fromHex("907F00051400505050F0") << true << true;
        QTest::newRow("A = 128") << QByteArray::fromHex("908000051500505050F0") << true << false;
    }
    void teachingTakesOnlyIntactReportsWithAOfAtMost127()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, checksumsValid);
        QFETCH(bool, accepted);
        const auto report = CoinReport::fromBytes(bytes);
        QVERIFY(report);
        QCOMPARE(report->hasValidChecksums(), checksumsValid);
        QCOMPARE(report->isAcceptedForTeaching(), accepted);
    }

    void theSpeedWarningListsTheValuesInDecimal()
    {
        const auto report = CoinReport::fromBytes(QByteArray::fromHex("920C2205C5FF06070814"));
        QVERIFY(report);
        QVERIFY(report->isSpeedStrange());
        QCOMPARE(report->speedWarningText(), QString("speed strange : A=12B=34C=5X=6Y=7dH=8"));
    }
};

QTEST_GUILESS_MAIN(CoinReportTest)
#include "CoinReportTest.moc"
