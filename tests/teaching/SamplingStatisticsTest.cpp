// SPDX-License-Identifier: GPL-3.0-or-later
#include "SamplingStatistics.h"
#include "SelectorImage.h"

#include <QTest>

#include <algorithm>

namespace {

using Values = std::array<int, SamplingStatistics::SampleCount>;

// Samples whose AB, X, Y and dH come from four lists, coin k from position k of each.
SamplingStatistics::Samples samplesOf(const Values& ab, const Values& x, const Values& y,
                                      const Values& dH)
{
    SamplingStatistics::Samples samples{};
    for (std::size_t k = 0; k < samples.size(); ++k)
        samples[k] = {ab[k], x[k], y[k], dH[k]};
    return samples;
}

Values same(int value)
{
    Values values{};
    values.fill(value);
    return values;
}

// Twelve values whose eight kept ones sum to keptSum; the two at each end are far off.
Values withKeptSum(int keptSum)
{
    Values values{255, 0, 255, 0};
    for (int i = 0; i < 8; ++i)
        values[std::size_t(4 + i)] = keptSum / 8 + (i < keptSum % 8 ? 1 : 0);
    return values;
}

} // namespace

class SamplingStatisticsTest : public QObject
{
    Q_OBJECT
private slots:
    void twelveIdenticalReports()
    {
        const SamplingStatistics statistics(
            samplesOf(same(0x1234), same(0x50), same(0x80), same(0x7E)));
        QCOMPARE(statistics.abReference(), 0x1234);
        QCOMPARE(statistics.xReference(), 80);
        QCOMPARE(statistics.yReference(), 129);
        QCOMPARE(statistics.dHReference(), 127);
        QCOMPARE(statistics.ySpread(), 0);
        QCOMPARE(statistics.dHSpread(), 0);
        QCOMPARE(statistics.summaryText(), QString("Sampling ok :34 12 A 0 0 50 (0 81) (0 7F)"));
    }

    void yAndDHAreRoundedOneOrTwoAboveTheMean_data()
    {
        QTest::addColumn<int>("keptSum");
        QTest::addColumn<int>("reference");
        QTest::newRow("mean 100.0") << 800 << 101;
        QTest::newRow("mean 100.5") << 804 << 101;
        QTest::newRow("mean 100.625") << 805 << 102;
        QTest::newRow("mean 101.0") << 808 << 102;
    }
    void yAndDHAreRoundedOneOrTwoAboveTheMean()
    {
        QFETCH(int, keptSum);
        QFETCH(int, reference);
        const Values values = withKeptSum(keptSum);
        const SamplingStatistics statistics(samplesOf(same(0), same(0), values, values));
        QCOMPARE(statistics.yReference(), reference);
        QCOMPARE(statistics.dHReference(), reference);
    }

    void abAndXAreFlooredMeansOfTheMiddleEight()
    {
        // Sorted: 32767 30000 | 4700 4665 4664 4663 4662 4661 4660 4650 | 100 0;
        // 37325 / 8 = 4665.625, floored 4665 = 0x1239.
        const Values ab{4660, 4700, 30000, 4650, 4661, 0, 4662, 4663, 4664, 32767, 4665, 100};
        // Sorted: 255 200 | 67 66 65 64 63 62 61 60 | 1 0; 508 / 8 = 63.5, floored 63.
        const Values x{60, 61, 62, 63, 64, 65, 66, 67, 200, 0, 1, 255};
        const SamplingStatistics statistics(samplesOf(ab, x, same(0), same(0)));
        QCOMPARE(statistics.abReference(), 4665);
        QCOMPARE(statistics.xReference(), 63);
    }

    void spreadsOnVariedData()
    {
        // Y sorted: 96 95 | 94 93 92 89 89 89 87 85 | 85 85; sum 718, mean 89.75, reference
        // 89 + 2 = 91. Squares rounded one by one: 18.0625 -> 18, +10.5625 -> 29,
        // +5.0625 -> 34, +0.5625 three times -> 35, 36, 37, +7.5625 -> 45, +22.5625 -> 68;
        // the smallest kept value again: 68 + 4.8 * 22.5625 = 176.3 -> 176; sqrt(176 / 11) = 4.
        // Unrounded terms would give 174, and spread 3.
        const Values y{85, 85, 89, 85, 89, 89, 87, 93, 92, 94, 96, 95};
        // dH sorted: 113 111 | 110 100 100 100 100 100 100 100 | 99 96; sum 810, mean 101.25,
        // reference 101 + 1 = 102. 76.5625 -> 77, then +1.5625 seven times -> 79 81 ... 91;
        // 91 + 4.8 * 1.5625 = 98.5, a tie, to even 98; sqrt(98 / 11) = 2.98, floored 2.
        // Rounding the tie up, or a weight of 4.8 in single precision, gives 99 and spread 3.
        const Values dH{100, 113, 100, 99, 100, 110, 100, 96, 100, 111, 100, 100};
        const SamplingStatistics statistics(samplesOf(same(0), same(0), y, dH));
        QCOMPARE(statistics.yReference(), 91);
        QCOMPARE(statistics.ySpread(), 4);
        QCOMPARE(statistics.dHReference(), 102);
        QCOMPARE(statistics.dHSpread(), 2);
        QCOMPARE(statistics.summaryText(), QString("Sampling ok :0 0 A 0 0 0 (4 5B) (2 66)"));
    }

    void referencesAboveAByteAreStoredAs255()
    {
        // Y: mean 255.0 gives 256. dH: 2037 / 8 = 254.625 gives 256 as well.
        const SamplingStatistics statistics(
            samplesOf(same(0), same(0), same(255), withKeptSum(2037)));
        QCOMPARE(statistics.yReference(), 256);
        QCOMPARE(statistics.dHReference(), 256);
        SelectorImage image;
        statistics.writeTo(image, 0, false);
        QCOMPARE(image.cell(96), QString("255"));
        QCOMPARE(image.cell(97), QString("255"));
        QCOMPARE(statistics.summaryText(), QString("Sampling ok :0 0 A 0 0 0 (0 FF) (0 FF)"));
    }
};

QTEST_GUILESS_MAIN(SamplingStatisticsTest)
#include "SamplingStatisticsTest.moc"
