// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunViewModel.h"
#include "CoinReportBytes.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "LinkCommands.h"
#include "SamplingRun.h"
#include "SamplingStatistics.h"
#include "SelectorImage.h"

#include <QTest>

namespace {

constexpr int Ab = 0x1234; // 4660; 5% of it is 233
const QString Result = "AB 4660 (spread 0), X 80 (spread 0), Y 129 (spread 0), dH 127 (spread 0)";

QByteArray coin(int ab = Ab)
{
    return coinReportBytes(0x90, quint8(ab / 256), quint8(ab % 256), 5, 0x50, 0x80, 0x7E);
}

// Twelve coins of AB 0x1234, the fifth replaced.
QList<QByteArray> withFifth(int ab)
{
    QList<QByteArray> reports(12, coin());
    reports[4] = coin(ab);
    return reports;
}

QList<int> abOfTwelve(int fifth)
{
    QList<int> values(12, Ab);
    values[4] = fifth;
    return values;
}

} // namespace

// The view of a teaching run on a fake link, from the run's own reports and statistics.
class RunViewModelTest : public QObject
{
    Q_OBJECT
private slots:
    void theViewShowsTheRunAndWhatItsStatisticsMadeOfIt_data()
    {
        QTest::addColumn<QList<QByteArray>>("reports");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<QList<int>>("values"); // AB of the points, in order
        QTest::addColumn<QList<int>>("dropped");
        QTest::addColumn<QList<int>>("far");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("ignored");

        // Of equal values the earlier coin sorts first: the first two and last two go.
        QTest::newRow("twelve identical")
            << QList<QByteArray>(12, coin()) << false << QList<int>(12, Ab)
            << QList<int>{1, 2, 11, 12} << QList<int>{} << ""
            << "";
        const QString hint = "drop 5 looks unlike the others: teach the channel again";
        QTest::newRow("one 20% off") << withFifth(5592) << false << abOfTwelve(5592)
                                     << QList<int>{1, 5, 11, 12} << QList<int>{5} << hint << "";
        QList<QByteArray> twoOff = withFifth(5592);
        twoOff[8] = coin(3728);
        QList<int> twoOffValues = abOfTwelve(5592);
        twoOffValues[8] = 3728;
        QTest::newRow("two 20% off")
            << twoOff << false << twoOffValues << QList<int>{1, 5, 9, 12} << QList<int>{5, 9}
            << "drops 5, 9 look unlike the others: teach the channel again"
            << "";
        QTest::newRow("233 off, within 5%") << withFifth(Ab + 233) << false << abOfTwelve(Ab + 233)
                                            << QList<int>{1, 5, 11, 12} << QList<int>{} << ""
                                            << "";
        QTest::newRow("234 off, beyond 5%")
            << withFifth(Ab - 234) << false << abOfTwelve(Ab - 234) << QList<int>{1, 2, 12, 5}
            << QList<int>{5} << hint << "";
        QTest::newRow("cancelled after five")
            << QList<QByteArray>(5, coin()) << true << QList<int>(5, Ab) << QList<int>{}
            << QList<int>{} << ""
            << "";

        QByteArray badChecksum = coin();
        badChecksum[9] = char(badChecksum[9] + 1);
        const QByteArray outOfRange = coinReportBytes(0x90, 0x80, 0, 0, 0x50, 0x80, 0x7E);
        // A late start reply puts the coin after it out of step.
        const QByteArray outOfStep = QByteArray::fromHex("E3010203E9") + coin();
        QList<QByteArray> spoilt(12, coin());
        spoilt.insert(3, outOfStep);
        spoilt.insert(1, outOfRange);
        spoilt.insert(1, badChecksum);
        QTest::newRow("ignored by reason")
            << spoilt << false << QList<int>(12, Ab) << QList<int>{1, 2, 11, 12} << QList<int>{}
            << ""
            << "ignored: 3 (1 bad checksum, 1 out of range, 1 out of step)";
    }
    void theViewShowsTheRunAndWhatItsStatisticsMadeOfIt()
    {
        QFETCH(QList<QByteArray>, reports);
        QFETCH(bool, cancelled);
        QFETCH(QList<int>, values);
        QFETCH(QList<int>, dropped);
        QFETCH(QList<int>, far);
        QFETCH(QString, hint);
        QFETCH(QString, ignored);

        FakeLinkRig rig;
        FakeSelector selector(*rig.port);
        SelectorImage image;
        RunViewModel model(RunViewModel::teachingMeasurements(), "teach the channel again");
        SamplingRun run(0, {}, rig.link, image);
        int awaited = 0;
        bool finished = false;
        connect(&run, &SamplingRun::progressChanged, this, [&](int, int coin) { awaited = coin; });
        connect(&run, &SamplingRun::sampled, &model, [&](const SamplingStatistics& statistics) {
            model.finish(statistics.measurements());
        });
        connect(&run, &SamplingRun::finished, this, [&] { finished = true; });
        QVERIFY(run.start());
        model.begin(SamplingRun::SampleCount, run.session());
        for (const QByteArray& report : reports) {
            QVERIFY(pumpUntil(rig.clock, [&] { return awaited > 0 && rig.link.isWaiting(); }));
            rig.port->receive(report);
            rig.clock.advance(SelectorLink::ResyncGapHundredths); // the quiet after a report
        }
        if (cancelled)
            run.cancel();
        QVERIFY(pumpUntil(rig.clock, [&] { return finished; }));

        QList<int> shown, shownDropped, shownFar;
        for (const RunViewModel::Point& point : model.points(0)) {
            shown << point.value;
            if (point.state == RunViewModel::PointState::Dropped)
                shownDropped << point.coin;
            if (point.far)
                shownFar << point.coin;
            QCOMPARE(point.state == RunViewModel::PointState::Counted, cancelled);
        }
        QCOMPARE(shown, values);
        // The other measurements are their own bytes of the reports (X, Y, dH of the last).
        const QList<int> lastXYdH{0x50, 0x80, 0x7E};
        for (int measurement = 1; measurement <= 3; ++measurement)
            QCOMPARE(model.points(measurement).constLast().value, lastXYdH[measurement - 1]);
        std::sort(dropped.begin(), dropped.end());
        QCOMPARE(shownDropped, dropped);
        QCOMPARE(shownFar, far);
        QCOMPARE(model.hintText(), hint);
        QCOMPARE(model.ignoredText(), ignored);
        QCOMPARE(model.result(0) == nullptr, cancelled);
        QCOMPARE(model.resultText(), cancelled ? QString() : Result);
    }

    // Each measurement is marked by its own trimming and its own spread. Kept coins that all
    // read the same have a spread of 0, which counts as 1: at dH 40 (5% is 2) a coin three
    // counts off is not ringed, one four counts off is.
    void eachMeasurementIsMarkedByItsOwnTrimming_data()
    {
        QTest::addColumn<bool>("calibration");
        QTest::addColumn<int>("measurement"); // AB, X, Y, dH or AB, XY, dH
        QTest::addColumn<QList<int>>("dropped");
        QTest::addColumn<QList<int>>("far");
        QTest::newRow("AB") << false << 0 << QList<int>{1, 2, 11, 12} << QList<int>{};
        QTest::newRow("X") << false << 1 << QList<int>{3, 4, 6, 7} << QList<int>{3, 4, 6, 7};
        QTest::newRow("Y") << false << 2 << QList<int>{5, 8, 9, 10} << QList<int>{5, 8, 9, 10};
        QTest::newRow("dH") << false << 3 << QList<int>{1, 5, 9, 12} << QList<int>{9};
        QTest::newRow("XY") << true << 1 << QList<int>{3, 4, 6, 7} << QList<int>{3, 4, 6, 7};
    }
    void eachMeasurementIsMarkedByItsOwnTrimming()
    {
        QFETCH(bool, calibration);
        QFETCH(int, measurement);
        QFETCH(QList<int>, dropped);
        QFETCH(QList<int>, far);
        // coin:              1   2   3   4   5   6   7   8   9  10  11  12
        const quint8 x[] = {50, 50, 60, 61, 50, 40, 41, 50, 50, 50, 50, 50};
        const quint8 y[] = {80, 80, 80, 80, 70, 80, 80, 90, 91, 71, 80, 80};
        const quint8 dH[] = {40, 40, 40, 40, 43, 40, 40, 40, 36, 40, 40, 40};
        FakeLinkRig rig;
        CoinReportSession session({LinkCommands::teachStart(), 0, 12, {}, {}}, rig.link);
        RunViewModel model(calibration ? RunViewModel::calibrationMeasurements(65, 105)
                                       : RunViewModel::teachingMeasurements(),
                           "again");
        model.begin(12, session);
        for (int k = 0; k < 12; ++k)
            emit session.reportAccepted(*CoinReport::fromBytes(
                coinReportBytes(0x90, 0x10, quint8(k), 0, x[k], y[k], dH[k])));
        // Results as the statistics give them: each measurement's own trimmed values.
        std::vector<MeasurementResult> results;
        for (int i = 0; i < model.measurements().size(); ++i) {
            std::vector<int> values;
            for (const RunViewModel::Point& point : model.points(i))
                values.push_back(point.value);
            results.push_back({TrimmedSamples(values), 0, 0});
        }
        model.finish(results);

        QList<int> shownDropped, shownFar;
        for (const RunViewModel::Point& point : model.points(measurement)) {
            if (point.state == RunViewModel::PointState::Dropped)
                shownDropped << point.coin;
            if (point.far)
                shownFar << point.coin;
        }
        QCOMPARE(shownDropped, dropped);
        QCOMPARE(shownFar, far);
    }
};

QTEST_GUILESS_MAIN(RunViewModelTest)
#include "RunViewModelTest.moc"
