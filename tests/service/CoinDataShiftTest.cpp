// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataShift.h"
#include "SelectorImage.h"

#include <QTest>

namespace PM = ParameterMap;

class CoinDataShiftTest : public QObject
{
    Q_OBJECT

    // A record whose AB mean is ab, XY high byte xy and BM bm.
    static CoinDataShift::Record record(int ab, int xy, int bm)
    {
        return {double(ab % 256), double(ab / 256), double(xy), double(bm)};
    }
    static void teach(SelectorImage& image, int coin, int abReference, int mad, double m1)
    {
        image.setNumber(PM::ea(coin), abReference % 256);
        image.setNumber(PM::eb(coin), abReference / 256);
        image.setNumber(PM::mad(coin), mad);
        image.setCell(PM::m1(coin), QString::number(m1));
    }

private slots:
    void equalRecordsChangeNothingAndFlagOnlyBadM1()
    {
        SelectorImage image;
        const double m1s[] = {42, 43, 100, 101, 60, 0, 1, 2, 50, 7.5, 0, 90};
        for (int coin = 1; coin <= PM::CoinCount; ++coin)
            if (coin != 6)
                teach(image, coin, 7000 + coin, 80 + coin, m1s[coin - 1]);
        teach(image, 6, 0, 0, 0); // never taught
        const SelectorImage before = image;

        const CoinDataShift shift(record(7200, 60, 70), record(7200, 60, 70));
        QCOMPARE(shift.abShift(), 0.0);
        QCOMPARE(shift.responseShift(), 0.0);
        // M1 42 and 101 are out of range, 43 and 100 are not; in a taught channel 0, 1, 2 and
        // 7.5 lie below 43 too.
        QCOMPARE(shift.apply(image), QString(" Ch_1, Ch_4, Ch_7, Ch_8, Ch_10, Ch_11, "));
        for (int address = 0; address < SelectorImage::CellCount; ++address)
            QCOMPARE(image.selectorByte(address), before.selectorByte(address));
        QCOMPARE(image.cell(PM::m1(9)), QString("50"));
    }

    void referencesMoveByTheRecordsDifference()
    {
        SelectorImage image;
        teach(image, 3, 7000, 90, 60);
        teach(image, 10, 7000, 90, 60);
        // AB +300, XY +5, BM from 70 to 75.
        const CoinDataShift shift(record(7200, 60, 70), record(7500, 65, 75));
        QCOMPARE(shift.apply(image), QString(" "));
        QCOMPARE(image.cell(PM::eb(3)), QString("28"));
        QCOMPARE(image.cell(PM::ea(3)), QString("132"));
        QCOMPARE(image.cell(PM::mad(10)), QString("95"));
        const double expected = CoinDataShift::inverseResponse(CoinDataShift::response(60) +
                                                               CoinDataShift::response(75) -
                                                               CoinDataShift::response(70));
        QCOMPARE(image.value(PM::m1(10)), expected);
        QVERIFY(expected > 60 && expected < 70);
        // A channel never taught keeps no references, whatever the shift.
        for (const int address : {PM::ea(7), PM::eb(7), PM::mad(7), PM::m1(7)})
            QCOMPARE(image.value(address), 0.0);
    }

    void resultsStayWithinWhatTheSelectorHolds()
    {
        SelectorImage image;
        teach(image, 1, 100, 3, 200);    // AB and MAD pushed below 0
        teach(image, 2, 65500, 250, 50); // AB and MAD pushed beyond their ranges
        teach(image, 3, 7000, 10, 60);   // MAD to 0
        teach(image, 4, 201, 11, 60);    // both to 1
        teach(image, 5, 200, 80, 60);    // AB to 0
        const CoinDataShift down(record(7200, 60, 70), record(7000, 50, 70));
        QCOMPARE(down.apply(image), QString(" Ch_1, Ch_3, Ch_5, "));
        QCOMPARE(image.cell(PM::ea(1)) + "/" + image.cell(PM::eb(1)), QString("0/0"));
        QCOMPARE(image.cell(PM::mad(1)), QString("0"));

        SelectorImage top; // to 255 and 65535, then one further
        teach(top, 1, 65335, 245, 60);
        teach(top, 2, 65336, 80, 60);
        teach(top, 3, 7000, 246, 60);
        const CoinDataShift upOnly(record(7000, 50, 70), record(7200, 60, 70));
        QCOMPARE(upOnly.apply(top), QString(" Ch_2, Ch_3, "));

        SelectorImage high;
        teach(high, 2, 65500, 250, 200);
        // A BM far above the file's pushes M1 beyond the response curve: flagged, 255.
        const CoinDataShift up(record(7000, 50, 0), record(7200, 60, 255));
        QCOMPARE(up.apply(high), QString(" Ch_2, "));
        QCOMPARE(high.cell(PM::eb(2)) + "/" + high.cell(PM::ea(2)), QString("255/255"));
        QCOMPARE(high.cell(PM::mad(2)), QString("255"));
        QCOMPARE(high.cell(PM::m1(2)), QString("255"));
    }
};

QTEST_GUILESS_MAIN(CoinDataShiftTest)
#include "CoinDataShiftTest.moc"
