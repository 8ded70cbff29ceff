// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldValue.h"
#include "SelectorImage.h"

#include <QTest>

class FieldValueTest : public QObject
{
    Q_OBJECT
private slots:
    void readsTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("plain") << "170" << 170.0;
        QTest::newRow("trailing text") << "12abc" << 12.0;
        QTest::newRow("leading blanks") << "   7" << 7.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("fraction") << "2.5x" << 2.5;
        QTest::newRow("negative") << "-1" << -1.0;
        QTest::newRow("lonely sign") << "-" << 0.0;
        QTest::newRow("incomplete exponent") << "3e" << 3.0;
        QTest::newRow("exponent") << "1e2" << 100.0;
        QTest::newRow("overflow is not finite") << "1e999" << 0.0;
    }
    void readsTheLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(FieldValue::readFieldValue(text), expected);
    }

    void reducesToTheWireByte_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("300 wraps") << "300" << 44;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("minus one") << "-1" << 255;
        QTest::newRow("half to even down") << "2.5" << 2;
        QTest::newRow("half to even up") << "3.5" << 4;
        QTest::newRow("255.5 rounds to 256") << "255.5" << 0;
        QTest::newRow("huge stays bounded") << "1e300" << 0;
        QTest::newRow("text") << "abc" << 0;
    }
    void reducesToTheWireByte()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(int(FieldValue::toSelectorByte(text)), expected);
    }

    void imageCellsAreBoundedAndStartEmpty()
    {
        SelectorImage image;
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            QVERIFY(image.cell(a).isEmpty());
        image.setCell(300, "9");
        image.setCell(-1, "9");
        QVERIFY(image.cell(300).isEmpty());
        image.setNumber(255, 12);
        QCOMPARE(image.cell(255), QString("12"));
        image.setCell(5, "300");
        QCOMPARE(int(image.selectorByte(5)), 44);
        QCOMPARE(image.roundedValue(5), qint64(300));
    }
};

QTEST_GUILESS_MAIN(FieldValueTest)
#include "FieldValueTest.moc"
