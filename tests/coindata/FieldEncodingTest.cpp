// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldEncoding.h"

#include <QTest>

#include <limits>

class FieldEncodingTest : public QObject
{
    Q_OBJECT
private slots:
    void decomposesCoinFlags_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("disable");
        QTest::addColumn<int>("separator");
        QTest::addColumn<int>("toleranceA");
        QTest::newRow("bit 6 only") << qint64(64) << 0 << 0 << 0;
        QTest::newRow("disabled, separator 2, tolerance 7") << qint64(167) << 1 << 2 << 7;
        QTest::newRow("bit 6 does not leak into separator") << qint64(112) << 0 << 3 << 0;
        QTest::newRow("above a byte") << qint64(300) << 2 << 2 << 12;
        QTest::newRow("minus one") << qint64(-1) << -1 << 3 << 15;
        QTest::newRow("huge saturates")
            << qint64(9'200'000'000'000'000'000) << std::numeric_limits<int>::max() << 0 << 0;
    }
    void decomposesCoinFlags()
    {
        QFETCH(qint64, value);
        QFETCH(int, disable);
        QFETCH(int, separator);
        QFETCH(int, toleranceA);
        const CoinFlags flags = CoinFlags::decompose(value);
        QCOMPARE(flags.disable, disable);
        QCOMPARE(flags.separator, separator);
        QCOMPARE(flags.toleranceA, toleranceA);
    }

    void composesCoinFlagsKeepingOnlyBit6_data()
    {
        QTest::addColumn<int>("disable");
        QTest::addColumn<int>("separator");
        QTest::addColumn<int>("toleranceA");
        QTest::addColumn<qint64>("previousValue");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("bit 6 kept, nothing selected") << 0 << 0 << 0 << qint64(64) << qint64(64);
        QTest::newRow("bit 6 kept under edits") << 1 << 2 << 5 << qint64(64) << qint64(229);
        QTest::newRow("other old bits dropped") << 0 << 1 << 3 << qint64(191) << qint64(19);
        QTest::newRow("old minus one keeps 64") << 1 << 0 << 0 << qint64(-1) << qint64(192);
    }
    void composesCoinFlagsKeepingOnlyBit6()
    {
        QFETCH(int, disable);
        QFETCH(int, separator);
        QFETCH(int, toleranceA);
        QFETCH(qint64, previousValue);
        QFETCH(qint64, expected);
        QCOMPARE((CoinFlags{disable, separator, toleranceA}.compose(previousValue)), expected);
    }

    void decomposesOutputMode_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("level");
        QTest::newRow("bits 7, 6 and 3") << qint64(200) << 8 << 1;
        QTest::newRow("mode beyond the list") << qint64(15) << 15 << 0;
        QTest::newRow("middle bits only") << qint64(112) << 0 << 0;
        QTest::newRow("minus one") << qint64(-1) << 15 << -1;
    }
    void decomposesOutputMode()
    {
        QFETCH(qint64, value);
        QFETCH(int, mode);
        QFETCH(int, level);
        const OutputModeField field = OutputModeField::decompose(value);
        QCOMPARE(field.mode, mode);
        QCOMPARE(field.level, level);
    }

    void decomposesMt1_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("toleranceB");
        QTest::addColumn<int>("toleranceC");
        QTest::newRow("above a byte") << qint64(256) << 0 << 16;
        QTest::newRow("minus one") << qint64(-1) << 15 << -1;
        QTest::newRow("minus 17") << qint64(-17) << 15 << -2;
    }
    void decomposesMt1()
    {
        QFETCH(qint64, value);
        QFETCH(int, toleranceB);
        QFETCH(int, toleranceC);
        const Mt1Field field = Mt1Field::decompose(value);
        QCOMPARE(field.toleranceB, toleranceB);
        QCOMPARE(field.toleranceC, toleranceC);
    }

    // Opening a byte in the editor and writing it back unchanged must give the byte again,
    // except for the output mode's middle bits, which a write clears.
    void everyByteSurvivesDecomposeAndCompose()
    {
        for (qint64 value = 0; value <= 255; ++value) {
            QCOMPARE(CoinFlags::decompose(value).compose(value), value);
            QCOMPARE(Mt1Field::decompose(value).compose(), value);
            QCOMPARE(OutputModeField::decompose(value).compose(), value & ~qint64(0x70));
        }
    }
};

QTEST_GUILESS_MAIN(FieldEncodingTest)
#include "FieldEncodingTest.moc"
