#include "SamplingRun.h"
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
const QString TimedOut = "communication time out !";

using Outcome = SamplingRun::Outcome;
using Progress = std::pair<int, int>;

} // namespace

class SamplingRunTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeLinkRig> rig;
    FakeLinkClock* clock = nullptr;
    FakeLinkPort* port = nullptr;
    SelectorLink* link = nullptr;
    std::unique_ptr<FakeSelector> selector;
    SelectorImage image;
    std::unique_ptr<SamplingRun> run;

    QList<std::pair<double, QByteArray>> sent; // fake time of each frame sent
    QStringList statuses;
    StatusColour colour = StatusColour::Blue;
    QList<Progress> progress;
    std::optional<Outcome> completed;
    std::optional<Outcome> finished;

    void startRun(int channel = 0, bool keepTolerance = false)
    {
        run = std::make_unique<SamplingRun>(channel, keepTolerance, *link, image);
        connect(run.get(), &SamplingRun::statusChanged, this,
                [this](const QString& text, StatusColour c) {
                    statuses.append(text);
                    colour = c;
                });
        connect(run.get(), &SamplingRun::progressChanged, this, [this](int accepted, int awaited) {
            progress.append({accepted, awaited});
        });
        connect(run.get(), &SamplingRun::completed, this, [this](Outcome o) { completed = o; });
        connect(run.get(), &SamplingRun::finished, this, [this](Outcome o) { finished = o; });
        QVERIFY(run->start());
    }
    bool awaitingCoin(int k)
    {
        return pumpUntil(*clock, [&] {
            return link->isWaiting() && !progress.isEmpty() && progress.last().second == k;
        });
    }
    void drop(int count, const QByteArray& report = Coin)
    {
        for (int i = 0; i < count; ++i)
            port->receive(report);
    }
    bool runToEnd()
    {
        return pumpUntil(*clock, [&] { return finished.has_value(); });
    }
    int framesSent(const QByteArray& frame) const
    {
        return int(std::count_if(sent.begin(), sent.end(),
                                 [&](const auto& entry) { return entry.second == frame; }));
    }

private slots:
    void init()
    {
        rig = std::make_unique<FakeLinkRig>();
        clock = &rig->clock;
        port = rig->port;
        link = &rig->link;
        selector = std::make_unique<FakeSelector>(*port);
        const auto answer = port->responder;
        port->responder = [this, answer](FakeLinkPort& p, const QByteArray& bytes) {
            sent.append({clock->elapsed(), bytes});
            answer(p, bytes);
        };
        image = SelectorImage();
        sent.clear();
        statuses.clear();
        progress.clear();
        completed.reset();
        finished.reset();
    }
    void cleanup()
    {
        run.reset();
        selector.reset();
        rig.reset();
    }

    void anUnansweredStartIsSentFiveTimesThenStopped()
    {
        for (int request = 0; request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
        startRun();
        QVERIFY(runToEnd());
        QCOMPARE(sent.size(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(sent[i].second, i < 5 ? TeachStart : Stop);
            if (i > 0)
                QCOMPARE(sent[i].first - sent[i - 1].first, 20.0);
        }
        QCOMPARE(statuses.count(TimedOut), 5);
        QCOMPARE(statuses.last(), QString("Coin Selector error"));
        QCOMPARE(colour, StatusColour::Red);
        QCOMPARE(*completed, Outcome::SelectorError);
        QCOMPARE(*finished, Outcome::SelectorError);
        QCOMPARE(progress, (QList<Progress>{{0, 0}})); // no coin was ever awaited
        QCOMPARE(image, SelectorImage());
        QVERIFY(!link->isBusy());
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
            selector->setFault(request, FakeSelector::Fault(fault));
        startRun();
        if (badReplies < 5) {
            QVERIFY(awaitingCoin(1));
            QCOMPARE(framesSent(TeachStart), badReplies + 1);
            QCOMPARE(statuses, QStringList{"Insert 12 Coins !!"});
            QCOMPARE(link->receiveThreshold(), 10);
        } else {
            QVERIFY(runToEnd());
            QCOMPARE(framesSent(TeachStart), 5);
            QCOMPARE(statuses, (QStringList{"Insert 12 Coins !!", "Coin Selector error"}));
        }
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
            image.setCell(a, "7");
        const SelectorImage before = image;
        startRun(6, keepTolerance);
        QVERIFY(awaitingCoin(1));
        // The run holds the link: no other operation, no second run.
        QVERIFY(link->isBusy());
        SamplingRun second(3, false, *link, image);
        QVERIFY(!second.start());

        drop(11);
        QCOMPARE(progress.last(), Progress(11, 12));
        QVERIFY(!completed);
        drop(1);
        QCOMPARE(*completed, Outcome::Sampled);
        QCOMPARE(statuses, (QStringList{"Insert 12 Coins !!", Sampled}));
        QCOMPARE(colour, StatusColour::Green);
        QList<Progress> expectedProgress{{0, 0}};
        for (int k = 1; k <= 12; ++k)
            expectedProgress.append({k - 1, k});
        QCOMPARE(progress, expectedProgress);
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent.last().second, Stop);

        QList<int> changed;
        for (int a = 0; a < SelectorImage::CellCount; ++a)
            if (image.cell(a) != before.cell(a))
                changed.append(a);
        QCOMPARE(changed, written);
        QCOMPARE(image.cell(42), QString("52"));
        QCOMPARE(image.cell(43), QString("18"));
        QCOMPARE(image.cell(44), QString(keepTolerance ? "7" : "10"));
        QCOMPARE(image.cell(47), QString("80"));
        QCOMPARE(image.cell(108), QString("129"));
        QCOMPARE(image.cell(109), QString("127"));

        // The link is quiet for the settling pause after the stop frame, then free.
        QVERIFY(link->isBusy());
        const double stoppedAt = sent.last().first;
        QVERIFY(runToEnd());
        QCOMPARE(clock->elapsed() - stoppedAt, 30.0);
        QVERIFY(!link->isBusy());
    }

    void reportsThatFailTheirChecksAreNotCounted()
    {
        startRun();
        QVERIFY(awaitingCoin(1));
        drop(2);
        QByteArray badFirst = coinReportBytes(0x90, 0x01, 0, 0, 0x01, 0x01, 0x01);
        badFirst[4] = char(badFirst[4] + 1);
        QByteArray badSecond = coinReportBytes(0x90, 0x01, 0, 0, 0x01, 0x01, 0x01);
        badSecond[9] = char(badSecond[9] + 1);
        const QByteArray aTooLarge = coinReportBytes(0x90, 0x80, 0, 0, 0x01, 0x01, 0x01);
        for (const QByteArray& report : {badFirst, badSecond, aTooLarge}) {
            drop(1, report);
            QCOMPARE(progress.last(), Progress(2, 3));
        }
        drop(9);
        QVERIFY(!completed); // eleven counted so far
        drop(1);
        QCOMPARE(statuses.last(), Sampled);
    }

    void speedWarningsAreShownAndTheirReportsCounted()
    {
        startRun();
        QVERIFY(awaitingCoin(1));
        drop(2);
        drop(1, coinReportBytes(0x92, 0x12, 0x34, 5, 0x50, 0x80, 0x7E));
        QCOMPARE(progress.last(), Progress(3, 4));
        QCOMPARE(colour, StatusColour::Red);
        QByteArray brokenWarning = coinReportBytes(0x92, 1, 2, 3, 4, 5, 6);
        brokenWarning[9] = char(brokenWarning[9] + 1);
        drop(1, brokenWarning);
        QCOMPARE(progress.last(), Progress(3, 4));
        drop(9);
        QCOMPARE(statuses,
                 (QStringList{"Insert 12 Coins !!", "speed strange : A=18B=52C=5X=80Y=128dH=126",
                              "speed strange : A=1B=2C=3X=4Y=5dH=6", Sampled}));
    }

    void cancelWhileCoinsAreAwaitedLeavesTheImage()
    {
        image.setCell(0, "33");
        const SelectorImage before = image;
        startRun();
        QVERIFY(awaitingCoin(1));
        drop(5);
        run->cancel();
        QCOMPARE(*completed, Outcome::Cancelled);
        QCOMPARE(statuses.last(), QString("User terminate Insert !"));
        QCOMPARE(colour, StatusColour::Red);
        QCOMPARE(sent.last().second, Stop);
        QVERIFY(runToEnd());
        QCOMPARE(*finished, Outcome::Cancelled);
        drop(12); // the selector may still be sending
        QCOMPARE(image, before);
        QCOMPARE(framesSent(Stop), 1);
    }

    void cancelDuringTheHandshakeWaitsForItsEnd_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("status");
        QTest::newRow("answered") << true << "User terminate Insert !";
        QTest::newRow("never answered") << false << "Coin Selector error";
    }
    void cancelDuringTheHandshakeWaitsForItsEnd()
    {
        QFETCH(bool, answered);
        QFETCH(QString, status);
        for (int request = 0; !answered && request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
        startRun();
        run->cancel();
        QVERIFY(!completed);
        QVERIFY(runToEnd());
        QCOMPARE(statuses.last(), status);
        QCOMPARE(framesSent(TeachStart), answered ? 1 : 5);
        QCOMPARE(*finished, answered ? Outcome::Cancelled : Outcome::SelectorError);
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
        if (!answered)
            selector->setFault(0, FakeSelector::Fault::Silent);
        startRun();
        if (answered) {
            QVERIFY(awaitingCoin(1));
            drop(3);
        }
        run.reset();
        QCOMPARE(sent.last().second, Stop);
        QVERIFY(link->isBusy());
        QVERIFY(pumpUntil(*clock, [&] { return !link->isBusy(); }));
        // Neither the abandoned attempt's deadline nor late reports reach the dead run.
        clock->advance(100);
        drop(12);
        QCoreApplication::processEvents();
        QCOMPARE(framesSent(TeachStart), 1);
        QCOMPARE(framesSent(Stop), 1);
        QVERIFY(!completed);
        QCOMPARE(image, SelectorImage());
    }

    void aPortThatFailsEndsTheRun()
    {
        startRun();
        QVERIFY(awaitingCoin(1));
        drop(4);
        port->hangUp();
        QCOMPARE(*completed, Outcome::SelectorError);
        QCOMPARE(statuses.last(), QString("Coin Selector error"));
        QVERIFY(runToEnd());
        QCOMPARE(image, SelectorImage());
    }
};

QTEST_GUILESS_MAIN(SamplingRunTest)
#include "SamplingRunTest.moc"
