// SPDX-License-Identifier: GPL-3.0-or-later
#include "SamplingRun.h"
#include "CoinReport.h"
#include "CoinReportBytes.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "SelectorImage.h"

#include <QTest>

#include <optional>

namespace {

const QByteArray TeachStart = QByteArray::fromHex("E3010203E9");
const QByteArray Stop = QByteArray::fromHex("840102038A");
const QByteArray Coin = coinReportBytes(0x90, 0x12, 0x34, 5, 0x50, 0x80, 0x7E);
const QString Sampled = "Sampling ok :34 12 A 0 0 50 (0 81) (0 7F)";
const QString SelectorError = "Coin Selector error";

using Outcome = SamplingRun::Outcome;
using Progress = std::pair<int, int>;

// A run on a fake link and fake time, with everything it sent and signalled.
struct RunBench
{
    FakeLinkRig rig;
    FakeSelector selector{*rig.port};
    SelectorImage image;
    QList<std::pair<double, QByteArray>> sent; // fake time of each frame sent
    QStringList statuses;
    StatusColour colour = StatusColour::Blue;
    QList<Progress> progress;
    std::optional<Outcome> completed;
    std::optional<Outcome> finished;
    std::unique_ptr<SamplingRun> run; // last: a run still going stops into the lists above

    RunBench()
    {
        rig.port->responder = [this, answer = rig.port->responder](FakeLinkPort& p,
                                                                   const QByteArray& bytes) {
            sent.append({rig.clock.elapsed(), bytes});
            answer(p, bytes);
        };
    }
    bool start(int channel = 0, bool keepTolerance = false)
    {
        run = std::make_unique<SamplingRun>(
            channel, [keepTolerance] { return keepTolerance; }, rig.link, image);
        QObject::connect(run.get(), &SamplingRun::statusChanged,
                         [this](const QString& text, StatusColour c) {
                             statuses.append(text);
                             colour = c;
                         });
        QObject::connect(run.get(), &SamplingRun::progressChanged,
                         [this](int accepted, int awaited) {
                             progress.append({accepted, awaited});
                         });
        QObject::connect(run.get(), &SamplingRun::completed, [this](Outcome o) { completed = o; });
        QObject::connect(run.get(), &SamplingRun::finished, [this](Outcome o) { finished = o; });
        return run->start();
    }
    void silenceStarts(int count)
    {
        for (int request = 0; request < count; ++request)
            selector.setFault(request, FakeSelector::Fault::Silent);
    }
    bool awaitingCoin(int k)
    {
        return pumpUntil(rig.clock, [&] {
            return rig.link.isWaiting() && !progress.isEmpty() && progress.last().second == k;
        });
    }
    void drop(int count, const QByteArray& report = Coin)
    {
        for (int i = 0; i < count; ++i) {
            rig.port->receive(report);
            rig.clock.advance(SelectorLink::ResyncGapHundredths);
        }
    }
    bool runToEnd()
    {
        return pumpUntil(rig.clock, [&] { return finished.has_value(); });
    }
    int framesSent(const QByteArray& frame) const
    {
        return int(std::count_if(sent.begin(), sent.end(),
                                 [&](const auto& entry) { return entry.second == frame; }));
    }
};

} // namespace

class SamplingRunTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<RunBench> bench;

private slots:
    void init() { bench = std::make_unique<RunBench>(); }
    void cleanup() { bench.reset(); }

    void anUnansweredStartIsSentFiveTimesThenStopped()
    {
        bench->silenceStarts(5);
        QVERIFY(bench->start());
        QVERIFY(bench->runToEnd());
        const auto& sent = bench->sent;
        QCOMPARE(sent.size(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(sent[i].second, i < 5 ? TeachStart : Stop);
            if (i > 0)
                QCOMPARE(sent[i].first - sent[i - 1].first, 20.0);
        }
        QCOMPARE(bench->statuses.count("communication time out !"), 5);
        QCOMPARE(bench->statuses.last(), SelectorError);
        QCOMPARE(bench->colour, StatusColour::Red);
        QCOMPARE(*bench->completed, Outcome::SelectorError);
        QCOMPARE(*bench->finished, Outcome::SelectorError);
        QCOMPARE(bench->progress, (QList<Progress>{{0, 0}})); // no coin was ever awaited
        QCOMPARE(bench->image, SelectorImage());
        QVERIFY(!bench->rig.link.isBusy());
    }

    void badStartRepliesFailWithoutAMessage_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("badReplies");
        QTest::newRow("wrong lead byte once") << int(FakeSelector::Fault::WrongLead) << 1;
        QTest::newRow("wrong checksum four times") << int(FakeSelector::Fault::WrongChecksum) << 4;
        QTest::newRow("wrong lead byte five times") << int(FakeSelector::Fault::WrongLead) << 5;
    }
    void badStartRepliesFailWithoutAMessage()
    {
        QFETCH(int, fault);
        QFETCH(int, badReplies);
        for (int request = 0; request < badReplies; ++request)
            bench->selector.setFault(request, FakeSelector::Fault(fault));
        QVERIFY(bench->start());
        const bool succeeds = badReplies < 5;
        QVERIFY(succeeds ? bench->awaitingCoin(1) : bench->runToEnd());
        QCOMPARE(bench->framesSent(TeachStart), qMin(badReplies + 1, 5));
        QStringList expected{"Insert 12 Coins !!"};
        if (!succeeds)
            expected.append(SelectorError);
        QCOMPARE(bench->statuses, expected);
    }

    void twelveCoinsTeachThePressedChannel_data()
    {
        QTest::addColumn<bool>("keepTolerance");
        QTest::addColumn<QList<int>>("written");
        QTest::newRow("tolerance written") << false << QList<int>{42, 43, 44, 47, 108, 109};
        QTest::newRow("tolerance kept") << true << QList<int>{42, 43, 47, 108, 109};
    }
    void twelveCoinsTeachThePressedChannel()
    {
        QFETCH(bool, keepTolerance);
        QFETCH(QList<int>, written);
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            bench->image.setCell(a, "7");
        const SelectorImage before = bench->image;
        bench->rig.port->receive("\x33\x44"); // stale bytes, discarded before the start
        QVERIFY(bench->start(6, keepTolerance));
        QVERIFY(bench->awaitingCoin(1));
        QCOMPARE(bench->rig.link.receiveThreshold(), 10);
        // The run holds the link: no other operation, no second run.
        SamplingRun second(3, {}, bench->rig.link, bench->image);
        QVERIFY(!second.start());

        bench->drop(11);
        QVERIFY(!bench->completed);
        bench->drop(1);
        QCOMPARE(*bench->completed, Outcome::Sampled);
        QCOMPARE(bench->statuses, (QStringList{"Insert 12 Coins !!", Sampled}));
        QCOMPARE(bench->colour, StatusColour::Green);
        QList<Progress> expectedProgress{{0, 0}};
        for (int k = 1; k <= 12; ++k)
            expectedProgress.append({k - 1, k});
        QCOMPARE(bench->progress, expectedProgress);
        QCOMPARE(bench->sent.size(), 2);
        QCOMPARE(bench->sent.last().second, Stop);

        QList<int> changed;
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            if (bench->image.cell(a) != before.cell(a))
                changed.append(a);
        QCOMPARE(changed, written);
        const QStringList values{"52", "18", "10", "80", "129", "127"};
        for (int i = 0, w = 0; i < values.size(); ++i)
            if (!keepTolerance || i != 2)
                QCOMPARE(bench->image.cell(written[w++]), values[i]);

        // The link is quiet for the settling pause after the stop frame, then free.
        QVERIFY(bench->rig.link.isBusy());
        QVERIFY(bench->runToEnd());
        QCOMPARE(bench->rig.clock.elapsed() - bench->sent.last().first, 30.0);
        QVERIFY(!bench->rig.link.isBusy());
    }

    void reportsThatFailTheirChecksAreNotCounted()
    {
        QVERIFY(bench->start());
        QVERIFY(bench->awaitingCoin(1));
        bench->drop(2);
        QByteArray badFirst = coinReportBytes(0x90, 0x01, 0, 0, 0x01, 0x01, 0x01);
        QByteArray badSecond = badFirst;
        badFirst[4] = char(badFirst[4] + 1);
        badSecond[9] = char(badSecond[9] + 1);
        const QByteArray aTooLarge = coinReportBytes(0x90, 0x80, 0, 0, 0x01, 0x01, 0x01);
        const QByteArray withAStrayByte = Coin + char(0x5A);
        for (const QByteArray& report : {badFirst, badSecond, aTooLarge, withAStrayByte}) {
            bench->drop(1, report);
            QVERIFY(bench->awaitingCoin(3)); // the same coin, once the line has settled
        }
        bench->drop(9);
        QVERIFY(!bench->completed); // eleven counted so far
        bench->drop(1);
        QCOMPARE(bench->statuses.last(), Sampled);
    }

    // Stray bytes just before a report (noise, or the answer to a start that had timed out)
    // spoil that coin and put the rest of its report out of step; the next coin counts again.
    void aStrayBurstCostsOneCoin_data()
    {
        QTest::addColumn<QByteArray>("stray");
        QTest::addColumn<bool>("portFails");
        QTest::newRow("noise") << QByteArray::fromHex("5AA53C") << false;
        QTest::newRow("late start reply") << TeachStart << false;
        QTest::newRow("port failing meanwhile") << QByteArray::fromHex("5AA53C") << true;
    }
    void aStrayBurstCostsOneCoin()
    {
        QFETCH(QByteArray, stray);
        QFETCH(bool, portFails);
        QVERIFY(bench->start());
        QVERIFY(bench->awaitingCoin(1));
        bench->drop(2);
        const qsizetype firstRead = CoinReport::Size - stray.size();
        bench->rig.port->receive(stray + Coin.left(firstRead));
        bench->rig.port->receive(Coin.mid(firstRead));
        if (portFails) {
            bench->rig.port->hangUp();
            QVERIFY(bench->runToEnd());
            QCOMPARE(*bench->completed, Outcome::SelectorError);
            return;
        }
        QVERIFY(bench->awaitingCoin(3));
        bench->drop(10);
        QCOMPARE(bench->statuses.last(), Sampled);
    }

    // A coin dropped at once comes in the start reply's read and begins the reports. After a
    // retried start the line settles first: what came meanwhile (an earlier attempt's answer,
    // coins) is dropped, the coins said as ignored.
    void whatComesWithTheStartReply_data()
    {
        QTest::addColumn<int>("silentStarts");
        QTest::addColumn<QByteArray>("withReply"); // in the start reply's read
        QTest::addColumn<QByteArray>("thenComes"); // at once after it, in any settling pause
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("tooEarly");
        const QByteArray none;
        QTest::newRow("a coin") << 0 << Coin << none << 1 << 0;
        QTest::newRow("part of a coin") << 0 << Coin.left(3) << Coin.mid(3) << 1 << 0;
        QTest::newRow("retried, a coin") << 1 << Coin << none << 0 << 1;
        QTest::newRow("retried, a late answer and a coin")
            << 1 << none << TeachStart + Coin << 0 << 1;
        QTest::newRow("retried, a late answer") << 2 << none << TeachStart + TeachStart << 0 << 0;
    }
    void whatComesWithTheStartReply()
    {
        QFETCH(int, silentStarts);
        QFETCH(QByteArray, withReply);
        QFETCH(QByteArray, thenComes);
        QFETCH(int, counted);
        QFETCH(int, tooEarly);
        bench->silenceStarts(silentStarts + 1); // the test answers the last start itself
        QVERIFY(bench->start());
        QList<CoinReportSession::IgnoredReason> ignored;
        connect(&bench->run->session(), &CoinReportSession::reportIgnored, this,
                [&](CoinReportSession::IgnoredReason reason) { ignored.append(reason); });
        QVERIFY(pumpUntil(bench->rig.clock,
                          [&] { return bench->framesSent(TeachStart) == silentStarts + 1; }));
        bench->rig.port->receive(TeachStart + withReply); // the reply echoes the start frame
        // No empty read after it: the bytes that came with the reply must wake the link alone.
        if (!thenComes.isEmpty())
            bench->rig.port->receive(thenComes);
        QVERIFY(bench->awaitingCoin(counted + 1));
        QCOMPARE(ignored, QList<CoinReportSession::IgnoredReason>(
                              tooEarly, CoinReportSession::IgnoredReason::TooEarly));
        bench->drop(SamplingRun::SampleCount - counted);
        QCOMPARE(bench->statuses.last(), Sampled);
        QCOMPARE(ignored.size(), tooEarly);
    }

    void speedWarningsAreShownAndTheirReportsCounted()
    {
        QVERIFY(bench->start());
        QVERIFY(bench->awaitingCoin(1));
        bench->drop(2);
        bench->drop(1, coinReportBytes(0x92, 0x12, 0x34, 5, 0x50, 0x80, 0x7E));
        QCOMPARE(bench->progress.last(), Progress(3, 4));
        QCOMPARE(bench->colour, StatusColour::Red);
        QByteArray brokenWarning = coinReportBytes(0x92, 1, 2, 3, 4, 5, 6);
        brokenWarning[9] = char(brokenWarning[9] + 1);
        bench->drop(1, brokenWarning);
        QVERIFY(bench->awaitingCoin(4));
        bench->drop(9);
        QCOMPARE(bench->statuses,
                 (QStringList{"Insert 12 Coins !!", "speed strange : A=18B=52C=5X=80Y=128dH=126",
                              "speed strange : A=1B=2C=3X=4Y=5dH=6", Sampled}));
    }

    void aRunEndedWhileCoinsAreAwaitedLeavesTheImage_data()
    {
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("cancelled") << true;
        QTest::newRow("port failed") << false;
    }
    void aRunEndedWhileCoinsAreAwaitedLeavesTheImage()
    {
        QFETCH(bool, cancelled);
        bench->image.setCell(0, "33");
        const SelectorImage before = bench->image;
        QVERIFY(bench->start());
        QVERIFY(bench->awaitingCoin(1));
        bench->drop(5);
        if (cancelled)
            bench->run->cancel();
        else
            bench->rig.port->hangUp();
        QCOMPARE(*bench->completed, cancelled ? Outcome::Cancelled : Outcome::SelectorError);
        QCOMPARE(bench->statuses.last(), cancelled ? "User terminate Insert !" : SelectorError);
        QCOMPARE(bench->colour, StatusColour::Red);
        QCOMPARE(bench->framesSent(Stop), cancelled ? 1 : 0); // nothing goes out on a dead port
        QVERIFY(bench->runToEnd());
        bench->drop(12); // the selector may still be sending
        QCOMPARE(bench->image, before);
    }

    void cancelDuringTheHandshakeWaitsForItsEnd_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("answered") << true;
        QTest::newRow("never answered") << false;
    }
    void cancelDuringTheHandshakeWaitsForItsEnd()
    {
        QFETCH(bool, answered);
        bench->silenceStarts(answered ? 0 : 5);
        QVERIFY(bench->start());
        bench->run->cancel();
        QVERIFY(!bench->completed);
        QVERIFY(bench->runToEnd());
        QCOMPARE(bench->statuses.last(), answered ? "User terminate Insert !" : SelectorError);
        QCOMPARE(bench->framesSent(TeachStart), answered ? 1 : 5);
        QCOMPARE(*bench->finished, answered ? Outcome::Cancelled : Outcome::SelectorError);
    }

    void aRunDestroyedMidwayStopsTeachingAndFreesTheLink_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("during the handshake") << false;
        QTest::newRow("while coins are awaited") << true;
    }
    void aRunDestroyedMidwayStopsTeachingAndFreesTheLink()
    {
        QFETCH(bool, answered);
        bench->silenceStarts(answered ? 0 : 1);
        QVERIFY(bench->start());
        if (answered) {
            QVERIFY(bench->awaitingCoin(1));
            bench->drop(3);
        }
        bench->run.reset();
        QCOMPARE(bench->sent.last().second, Stop);
        QVERIFY(bench->rig.link.isBusy());
        QVERIFY(pumpUntil(bench->rig.clock, [&] { return !bench->rig.link.isBusy(); }));
        // Neither the abandoned attempt's deadline nor late reports reach the dead run.
        bench->rig.clock.advance(100);
        bench->drop(12);
        QCoreApplication::processEvents();
        QCOMPARE(bench->framesSent(TeachStart), 1);
        QCOMPARE(bench->framesSent(Stop), 1);
        QVERIFY(!bench->completed);
        QCOMPARE(bench->image, SelectorImage());
    }
};

QTEST_GUILESS_MAIN(SamplingRunTest)
#include "SamplingRunTest.moc"
