// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryGridText.h"

#include <QTest>

class MemoryGridTextTest : public QObject
{
    Q_OBJECT

private slots:
    void convertsBetweenDecimalAndHexadecimal_data()
    {
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("hexadecimal");
        QTest::addColumn<QString>("backToDecimal");
        QTest::newRow("170") << "170"
                             << "AA"
                             << "170";
        QTest::newRow("5") << "5"
                           << "5"
                           << "5";
        QTest::newRow("half to even") << "2.5"
                                      << "2"
                                      << "2";
        QTest::newRow("above a byte") << "300"
                                      << "FF"
                                      << "255";
        QTest::newRow("negative") << "-3"
                                  << "0"
                                  << "0";
        QTest::newRow("not a number") << "abc"
                                      << "0"
                                      << "0";
    }
    void convertsBetweenDecimalAndHexadecimal()
    {
        QFETCH(QString, decimal);
        QFETCH(QString, hexadecimal);
        QFETCH(QString, backToDecimal);
        QCOMPARE(MemoryGridText::toHexadecimal(decimal), hexadecimal);
        QCOMPARE(MemoryGridText::toDecimal(hexadecimal), backToDecimal);
    }

    void readsTypedHexadecimalByItsFirstTwoCharacters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("one digit") << "7"
                                   << "7";
        QTest::newRow("empty") << ""
                               << "0";
        QTest::newRow("lower case") << "aa"
                                    << "170";
        QTest::newRow("more digits") << "1F0"
                                     << "31";
        QTest::newRow("first digit limited") << "Z0"
                                             << "240";
        QTest::newRow("beyond a byte") << "FZ"
                                       << "255";
        QTest::newRow("below a digit") << " 1"
                                       << "0";
    }
    void readsTypedHexadecimalByItsFirstTwoCharacters()
    {
        QFETCH(QString, typed);
        QFETCH(QString, decimal);
        QCOMPARE(MemoryGridText::toDecimal(typed), decimal);
    }
};

QTEST_GUILESS_MAIN(MemoryGridTextTest)
#include "MemoryGridTextTest.moc"
