// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationStatistics.h"
#include "SelectorImage.h"
#include "TrimmedSamples.h"

#include <QTest>

namespace {

const QString Reject = QStringLiteral(" 請剔出本台投幣器 !! ");

QList<CalibrationSample> fortyOf(int ab, int xy, int dH)
{
    return QList<CalibrationSample>(CalibrationStatistics::SampleCount, {ab, xy, dH});
}

// Forty dH values whose 36 kept ones sum to keptSum; the two at each end are far off.
QList<CalibrationSample> withDHKeptSum(int keptSum)
{
    QList<CalibrationSample> samples = fortyOf(7200, 0, 0);
    const int ends[] = {255, 0, 255, 0};
    for (int i = 0; i < 4; ++i)
        samples[i].dH = ends[i];
    for (int i = 0; i < 36; ++i)
        samples[4 + i].dH = keptSum / 36 + (i < keptSum % 36 ? 1 : 0);
    return samples;
}

} // namespace

class CalibrationStatisticsTest : public QObject
{
    Q_OBJECT
private slots:
    void theSummaryShowsTheRecordAndTheSpreads()
    {
        // Forty equal reference coins: AB 7200 = 0x1C20, both spreads 0, BM 69 + 1 = 0x46.
        const QList<CalibrationSample> equal = fortyOf(7200, 0x6B20, 69);
        QCOMPARE(CalibrationStatistics(equal).summaryText(),
                 QString("Sampling ok :20 1C 0 0 20 6B 0 46"));
        QCOMPARE(CalibrationStatistics::sampleText(equal.first()), QString("  1C206B2045"));

        // Kept: AB 7202 and 7180 x 35, mean 7180.61, floored 7180 (0x1C0C). The AB spread is
        // taken around the floored mean and rounded: V = 22^2 = 484, sqrt(484 / 39) = 3.52
        // gives 4 (around the exact mean, or floored, it would be 3). dH kept: 80 and 69 x 35,
        // mean 69.31: V = 117, sqrt(117 / 39) = 1.73 floored to 1. XY kept: 27460 and
        // 27447 x 35, floored mean 27447 = 0x6B37.
        QList<CalibrationSample> varied = fortyOf(7180, 27447, 69);
        varied[9] = {7202, 27460, 80};
        varied[5] = {30000, 32767, 255};
        varied[17] = {29000, 32000, 200};
        varied[23] = {0, 0, 0};
        varied[31] = {100, 5, 1};
        QCOMPARE(CalibrationStatistics(varied).summaryText(),
                 QString("Sampling ok :C 1C 4 4 37 6B 1 46"));
    }

    void bmIsTheDHMeanRoundedHalfDownPlusOne_data()
    {
        QTest::addColumn<float>("mean");
        QTest::addColumn<int>("bm");
        QTest::newRow("69.5") << 69.5F << 70;
        QTest::newRow("69.51") << 69.51F << 71;
        QTest::newRow("69.0") << 69.0F << 70;
        QTest::newRow("69.5278 (2503 / 36)") << 2503.0F / 36 << 71;
    }
    void bmIsTheDHMeanRoundedHalfDownPlusOne()
    {
        QFETCH(float, mean);
        QFETCH(int, bm);
        QCOMPARE(TrimmedSamples::roundedAbove(mean), bm);
        // Means a run can produce also come out of forty real samples.
        const float keptSum = mean * 36;
        if (keptSum == std::floor(keptSum))
            QCOMPARE(CalibrationStatistics(withDHKeptSum(int(keptSum))).bm(), bm);
    }

    void theRecordIsCheckedAgainstItsLimits_data()
    {
        QTest::addColumn<int>("ab");
        QTest::addColumn<int>("dH"); // BM is dH + 1
        QTest::addColumn<QString>("reject");
        QTest::newRow("BM 65") << 7200 << 64 << QString();
        QTest::newRow("BM 105") << 7200 << 104 << QString();
        QTest::newRow("BM 64") << 7200 << 63 << Reject + " (BM = 64)";
        QTest::newRow("BM 106") << 7200 << 105 << Reject + " (BM = 106)";
        QTest::newRow("BM above a byte, as stored") << 7200 << 255 << Reject + " (BM = 255)";
        QTest::newRow("high byte 27") << 27 * 256 + 255 << 69 << Reject + " (BD = 27)";
        QTest::newRow("both fail") << 29 * 256 << 63 << Reject + " (BD = 29)";
    }
    void theRecordIsCheckedAgainstItsLimits()
    {
        QFETCH(int, ab);
        QFETCH(int, dH);
        QFETCH(QString, reject);
        QCOMPARE(CalibrationStatistics(fortyOf(ab, 0, dH)).rejectText(), reject);
    }

    void theRecordGoesIntoTheSlotOfItsToken_data()
    {
        QTest::addColumn<int>("token");
        QTest::addColumn<int>("dH");
        QTest::addColumn<QList<int>>("written"); // address, value, ...
        QTest::newRow("token 1") << 1 << 69 << QList<int>{120, 32, 121, 28, 122, 107, 123, 70};
        QTest::newRow("token 2") << 2 << 69 << QList<int>{124, 32, 125, 28, 126, 107, 127, 70};
        QTest::newRow("BM above a byte")
            << 2 << 255 << QList<int>{124, 32, 125, 28, 126, 107, 127, 255};
        QTest::newRow("no record") << 3 << 69 << QList<int>{};
    }
    void theRecordGoesIntoTheSlotOfItsToken()
    {
        QFETCH(int, token);
        QFETCH(int, dH);
        QFETCH(QList<int>, written);
        SelectorImage image;
        QCOMPARE(CalibrationStatistics(fortyOf(7200, 0x6B20, dH)).writeTo(image, token),
                 !written.isEmpty());
        SelectorImage expected;
        for (qsizetype i = 0; i < written.size(); i += 2)
            expected.setNumber(written[i], written[i + 1]);
        QCOMPARE(image, expected);
    }
};

QTEST_GUILESS_MAIN(CalibrationStatisticsTest)
#include "CalibrationStatisticsTest.moc"
