// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationRun.h"
#include "CalibrationBench.h"
#include "CoinReportBytes.h"

#include <QTest>

#include <optional>

namespace {

const QByteArray CalibrationStart = QByteArray::fromHex("8301020389");
const QByteArray Stop = QByteArray::fromHex("840102038A");
const QString Reject = QStringLiteral(" 請剔出本台投幣器 !! ");

QByteArray report(quint8 a, quint8 b, quint8 x, quint8 y, quint8 dH)
{
    return coinReportBytes(0x90, a, b, 5, x, y, dH);
}

// AB 7200, XY 0x6B20, dH 69: the record 32, 28, 107, 70.
const QByteArray ReferenceCoin = report(0x1C, 0x20, 0x6B, 0x20, 69);

using Outcome = CalibrationRun::Outcome;
using Progress = std::pair<int, int>;

} // namespace

class CalibrationRunTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CalibrationBench> bench;
    std::unique_ptr<CalibrationRun> run;
    QStringList statuses;
    QList<Progress> progress;
    QStringList rejects;
    std::optional<Outcome> finished;

    void start(int token = 2)
    {
        bench->core.setToken(token);
        run = std::make_unique<CalibrationRun>(bench->core);
        connect(run.get(), &CalibrationRun::statusChanged,
                [this](const QString& text, StatusColour) { statuses.append(text); });
        connect(run.get(), &CalibrationRun::progressChanged, [this](int accepted, int awaited) {
            progress.append({accepted, awaited});
        });
        connect(run.get(), &CalibrationRun::rejected,
                [this](const QString& text) { rejects.append(text); });
        connect(run.get(), &CalibrationRun::finished, [this](Outcome o) { finished = o; });
        QVERIFY(run->start());
    }
    bool awaitingCoin() { return bench->awaitingCoin(); }
    void drop(int count, const QByteArray& bytes = ReferenceCoin)
    {
        for (int i = 0; i < count; ++i) {
            bench->port->receive(bytes);
            bench->clock.advance(SelectorLink::ResyncGapHundredths);
        }
    }
    bool runToEnd()
    {
        return pumpUntil(bench->clock,
                         [&] { return finished.has_value() && !bench->core.link().isBusy(); });
    }

private slots:
    void init()
    {
        bench = std::make_unique<CalibrationBench>();
        statuses.clear();
        progress.clear();
        rejects.clear();
        finished.reset();
    }
    void cleanup()
    {
        run.reset();
        bench.reset();
    }

    void fortyCoinsStoreAndProgramTheRecordOfTheToken_data()
    {
        QTest::addColumn<int>("token");
        QTest::addColumn<int>("dH");
        QTest::addColumn<QList<int>>("inSelector"); // the record's addresses, then their values
        QTest::addColumn<QStringList>("rejected");
        // The transfer of the first record puts its fixed values in place of the measured ones.
        QTest::newRow("token 1") << 1 << 69 << QList<int>{120, 121, 122, 123, 4, 52, 107, 61}
                                 << QStringList{};
        QTest::newRow("token 2, BM 64")
            << 2 << 63 << QList<int>{124, 125, 126, 127, 32, 28, 107, 64}
            << QStringList{Reject + " (BM = 64)"};
        QTest::newRow("token 3") << 3 << 69 << QList<int>{} << QStringList{};
    }
    void fortyCoinsStoreAndProgramTheRecordOfTheToken()
    {
        QFETCH(int, token);
        QFETCH(int, dH);
        QFETCH(QList<int>, inSelector);
        QFETCH(QStringList, rejected);
        const auto memoryBefore = bench->selector.memory;
        start(token);
        QCOMPARE(bench->port->written.first(), CalibrationStart);
        QVERIFY(awaitingCoin());
        const QByteArray coin = report(0x1C, 0x20, 0x6B, 0x20, quint8(dH));
        drop(39, coin);
        QVERIFY(!finished);
        drop(1, coin);
        QVERIFY(runToEnd());

        const QString sampleLine = "  1C206B20" + QString::number(dH, 16).toUpper();
        QCOMPARE(statuses.first(), QString("sampling !!"));
        QCOMPARE(statuses.count(sampleLine), 40);
        QCOMPARE(statuses.size(), 42);
        QVERIFY(statuses.last().startsWith("Sampling ok :20 1C 0 0 20 6B 0 "));
        QCOMPARE(rejects, rejected);
        QList<Progress> expectedProgress{{0, 0}};
        for (int n = 1; n <= 40; ++n)
            expectedProgress.append({n - 1, n});
        QCOMPARE(progress, expectedProgress);

        // Stopped right after the start's frame, before anything is programmed; then exactly
        // the record programmed.
        QCOMPARE(bench->port->written.count(Stop), 1);
        QCOMPARE(bench->port->written.indexOf(Stop), 1);
        const QList<int> addresses = inSelector.mid(0, inSelector.size() / 2);
        QCOMPARE(bench->selector.writtenAddresses, addresses);
        auto expectedMemory = memoryBefore;
        for (qsizetype i = 0; i < addresses.size(); ++i) {
            expectedMemory[std::size_t(addresses[i])] = quint8(inSelector[i + addresses.size()]);
            QCOMPARE(bench->core.image().cell(addresses[i]),
                     QString::number(inSelector[i + addresses.size()]));
        }
        QCOMPARE(bench->selector.memory, expectedMemory);
        QCOMPARE(*finished, addresses.isEmpty() ? Outcome::Measured : Outcome::Programmed);
    }

    void reportsThatFailTheirChecksAreNotCounted()
    {
        start();
        QVERIFY(awaitingCoin());
        drop(2);
        QByteArray badFirst = ReferenceCoin;
        badFirst[4] = char(badFirst[4] + 1);
        for (const QByteArray& ignored :
             {badFirst, report(0x80, 0, 0x6B, 0, 69), report(0x1C, 0x20, 0x80, 0, 69)}) {
            drop(1, ignored);
            QVERIFY(awaitingCoin()); // once the line has settled
            QCOMPARE(progress.last(), Progress(2, 3));
        }
        drop(1, report(0x1C, 0x20, 0x7F, 0x20, 69)); // X = 127 is still a measurement
        QVERIFY(awaitingCoin());
        QCOMPARE(progress.last(), Progress(3, 4));
        drop(36);
        QVERIFY(!finished);
        drop(1);
        QVERIFY(runToEnd());
        QCOMPARE(*finished, Outcome::Programmed);
        QCOMPARE(bench->core.image().cell(124), QString("32"));
    }

    // Cancel counts until the record's programming begins, after the stop frame too.
    void cancelBeforeTheProgrammingStopsAndLeavesEverything()
    {
        const SelectorImage before = bench->core.image();
        const auto memoryBefore = bench->selector.memory;
        start();
        QVERIFY(awaitingCoin());
        drop(40); // the stop frame has gone out
        run->cancel();
        QVERIFY(runToEnd());
        QCOMPARE(statuses.last(), QString("User terminate Insert !"));
        QCOMPARE(bench->port->written, (QList<QByteArray>{CalibrationStart, Stop}));
        QCOMPARE(bench->core.image(), before);
        QCOMPARE(bench->selector.memory, memoryBefore);
        QCOMPARE(*finished, Outcome::Cancelled);
    }

    void aSelectorThatNeverAnswersIsNotStopped()
    {
        for (int request = 0; request < 5; ++request)
            bench->selector.setFault(request, FakeSelector::Fault::Silent);
        start();
        QVERIFY(runToEnd());
        QCOMPARE(bench->port->written, QList<QByteArray>(5, CalibrationStart));
        QCOMPARE(statuses.count("communication time out !"), 5);
        QCOMPARE(statuses.last(), QString("Coin Selector error"));
        QCOMPARE(*finished, Outcome::SelectorError);
    }

    void aBrokenStartReplyIsClearedBeforeTheRepeat()
    {
        // A stray byte ahead of the first reply, which comes a byte at a time: its last byte
        // is left over, and kept it would misalign every reply after it.
        bench->selector.byteByByte = true;
        bench->selector.beforeAnswer = [this](int number, const LinkFrame&) {
            if (number == 0)
                bench->port->receive(QByteArray(1, '\x55'));
        };
        start();
        QVERIFY(awaitingCoin());
        QCOMPARE(bench->port->written, QList<QByteArray>(2, CalibrationStart));
    }

    void aRunDestroyedMidwayLeavesNoCallbacks_data()
    {
        QTest::addColumn<bool>("collected");
        QTest::newRow("while coins are awaited") << false;
        QTest::newRow("while the record is programmed") << true;
    }
    void aRunDestroyedMidwayLeavesNoCallbacks()
    {
        QFETCH(bool, collected);
        const SelectorImage before = bench->core.image();
        start();
        QVERIFY(awaitingCoin());
        drop(collected ? 40 : 3);
        if (collected)
            QVERIFY(pumpUntil(bench->clock,
                              [&] { return !bench->selector.writtenAddresses.isEmpty(); }));
        run.reset();
        QVERIFY(bench->runLinkUntilIdle());
        bench->clock.advance(100);
        drop(40);
        QCoreApplication::processEvents();
        QCOMPARE(bench->port->written.count(Stop), 1);
        QVERIFY(!finished);
        // A transfer already under way is finished; an unfinished collection stores nothing.
        QCOMPARE(bench->selector.writtenAddresses.size(), collected ? 4 : 0);
        if (!collected)
            QCOMPARE(bench->core.image(), before);
    }
};

QTEST_GUILESS_MAIN(CalibrationRunTest)
#include "CalibrationRunTest.moc"
