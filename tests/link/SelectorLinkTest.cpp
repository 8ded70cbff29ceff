// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectorLink.h"
#include "FakeLinkRig.h"
#include "LinkCommands.h"

#include <QSignalSpy>
#include <QTest>

#include <optional>

using Outcome = SelectorLink::Outcome;
using Runs = QList<QPair<int, double>>;         // answers in a row, each this many ms late
using Arrivals = QList<QPair<int, QByteArray>>; // (hundredths after the request, bytes)
using Chunks = QList<QByteArray>;               // bytes in the reads they come in
using Kind = PortIdentity::Kind;
using ChosenIdentity = std::optional<PortIdentity>;
Q_DECLARE_METATYPE(ChosenIdentity)
Q_DECLARE_METATYPE(PortIdentity)

class SelectorLinkTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeLinkRig> rig;
    FakeLinkClock* clock = nullptr;
    FakeLinkPort* port = nullptr;
    SelectorLink* link = nullptr;
    std::optional<SelectorLink::AttemptResult> result;

    void attempt(const LinkFrame& frame = LinkCommands::readRequest(5))
    {
        result.reset();
        link->startAttempt(frame, [this](const SelectorLink::AttemptResult& r) { result = r; });
    }

    // Times of day an exchange or pause starts at (hundredths since midnight): the wait must
    // last its time whether or not midnight falls inside it.
    static void addStartTimes()
    {
        QTest::addColumn<double>("start");
        QTest::newRow("morning") << 100'000.0;
        QTest::newRow("just before midnight") << 8'639'990.0;
        QTest::newRow("in the last hundredth") << 8'639'999.7; // t0 rounds up to midnight
        QTest::newRow("at midnight") << 0.0;
    }

private slots:
    void init()
    {
        rig = std::make_unique<FakeLinkRig>();
        clock = &rig->clock;
        port = rig->port;
        link = &rig->link;
    }
    void cleanup() { rig.reset(); }

    void anAttemptTimesOutAfterTwentyHundredths_data() { addStartTimes(); }
    void anAttemptTimesOutAfterTwentyHundredths()
    {
        QFETCH(double, start);
        clock->setNow(start);
        attempt();
        QCOMPARE(port->written.size(), 1);
        clock->advance(19);
        QVERIFY(!result);
        clock->advance(1);
        QVERIFY(result);
        QCOMPARE(result->outcome, Outcome::TimedOut);
    }

    void anExchangeAcrossMidnightMeasuresCorrectly()
    {
        clock->setNow(8'639'990); // 23:59:59.90
        attempt();
        clock->advance(15); // 00:00:00.05
        QVERIFY(clock->now() < 10);
        QVERIFY(!result);
        port->receive(QByteArray::fromHex("E1050809F7"));
        QVERIFY(result);
        QCOMPARE(result->outcome, Outcome::Replied);
        QCOMPARE(result->t0, 8'639'990.0F);
        QCOMPARE(AnswerLateness::hint(link->answerLateness().medianMs().value_or(0)),
                 "answers came 145 ms late: the adapter holds them back (its latency timer); "
                 "see 'A slow adapter' in the README"); // 150 ms less 5.2 on the wire
    }

    void aReplyArrivingByteByByteIsTakenAtTheThreshold()
    {
        attempt();
        const QByteArray reply = QByteArray::fromHex("E1050809F7");
        for (int i = 0; i < 4; ++i) {
            port->receive(reply.mid(i, 1));
            QVERIFY(!result);
            QVERIFY(!link->receiveFlag());
        }
        port->receive(reply.mid(4, 1));
        QVERIFY(result);
        QCOMPARE(result->reply, reply);
        QVERIFY(!link->receiveFlag());
    }

    // What comes after a request that begins with the request itself: an echo and the reply,
    // or a reply equal to its request. The reply the attempt gives (none: a time-out), and
    // when.
    void anEchoIsToldFromAReplyByWhatFollowsIt_data()
    {
        QTest::addColumn<bool>("lineEchoed"); // an earlier exchange showed an echo
        QTest::addColumn<bool>("copyAtOnce");
        QTest::addColumn<Arrivals>("arrivals");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("requestCopy");
        QTest::addColumn<bool>("echoes"); // the link knows its line echoes, after
        QTest::addColumn<int>("doneAt");
        const QByteArray r = LinkCommands::readRequest(5).toByteArray();
        const QByteArray a = QByteArray::fromHex("E1050809F7"),
                         spoilt = QByteArray::fromHex("E1050809F8");
        const int q = SelectorLink::EchoQuietHundredths;
        QTest::newRow("echo, then the reply")
            << false << false << Arrivals{{0, r}, {q - 1, a}} << a << false << true << q - 1;
        QTest::newRow("a copy, then quiet")
            << false << false << Arrivals{{1, r}} << r << true << false << 1 + q;
        QTest::newRow("a copy, the reply after the quiet")
            << false << false << Arrivals{{1, r}, {1 + q, a}} << r << true << false << 1 + q;
        QTest::newRow("echo, then a reply equal to the request")
            << false << false << Arrivals{{0, r}, {2, r}} << r << false << false << 2;
        QTest::newRow("a copy and a fragment") << false << false << Arrivals{{1, r + a.left(2)}}
                                               << QByteArray() << false << false << 20;
        QTest::newRow("taken at once")
            << false << true << Arrivals{{1, r}} << r << true << false << 1;
        // A selector answering with a copy, then a late answer to an earlier request.
        QTest::newRow("taken at once, a stray reply after it")
            << false << true << Arrivals{{1, r + a}} << r + a << true << false << 1;
        QTest::newRow("known echo, alone")
            << true << true << Arrivals{{1, r}} << QByteArray() << false << true << 20;
        QTest::newRow("known echo, a spoilt reply")
            << true << false << Arrivals{{1, r + spoilt}} << spoilt << false << true << 1;
    }
    void anEchoIsToldFromAReplyByWhatFollowsIt()
    {
        QFETCH(bool, lineEchoed);
        QFETCH(bool, copyAtOnce);
        QFETCH(Arrivals, arrivals);
        QFETCH(QByteArray, reply);
        QFETCH(bool, requestCopy);
        QFETCH(bool, echoes);
        QFETCH(int, doneAt);
        const LinkFrame request = LinkCommands::readRequest(5);
        const auto start = [&](bool atOnce) {
            result.reset();
            link->startAttempt(
                request, [this](const SelectorLink::AttemptResult& r) { result = r; },
                [](const QByteArray& bytes) { return LinkCommands::isValidReadReply(bytes, 5); },
                atOnce ? SelectorLink::LoneCopy::AtOnce : SelectorLink::LoneCopy::AfterQuiet);
        };
        if (lineEchoed) {
            start(false); // a read shows the echo
            port->receive(request.toByteArray() + QByteArray::fromHex("E1050807F5"));
        }
        start(copyAtOnce);
        int now = 0;
        for (const auto& [at, bytes] : arrivals) {
            for (; now < at && !result; ++now)
                clock->advance(1);
            if (!result)
                port->receive(bytes);
        }
        for (; !result && now < SelectorLink::ReplyTimeoutHundredths; ++now)
            clock->advance(1);
        QVERIFY(result);
        QCOMPARE(result->outcome, reply.isEmpty() ? Outcome::TimedOut : Outcome::Replied);
        QCOMPARE(result->reply, reply);
        QCOMPARE(result->requestCopy, requestCopy);
        QCOMPARE(link->lineEchoes(), echoes);
        QCOMPARE(now, doneAt);
    }

    void aLateReplyIsReadByTheNextAttempt()
    {
        attempt();
        clock->advance(20);
        QCOMPARE(result->outcome, Outcome::TimedOut);
        QSignalSpy waiting(link, &SelectorLink::dataWaiting);
        port->receive(QByteArray::fromHex("E1050809F7"));
        QVERIFY(link->receiveFlag());
        QCOMPARE(waiting.count(), 1);

        attempt();
        QCOMPARE(port->written.size(), 2); // the request still goes out
        QVERIFY(!result);                  // answered from the event loop, not inside the call
        QTRY_VERIFY(result.has_value());
        QCOMPARE(result->outcome, Outcome::Replied);
        QCOMPARE(result->reply, QByteArray::fromHex("E1050809F7"));
        QVERIFY(!link->receiveFlag());
        QVERIFY(!link->answerLateness().medianMs()); // tells nothing of the selector's speed
    }

    void slowIsTheMedianOfTheLastAnswers_data()
    {
        QTest::addColumn<Runs>("runs");
        QTest::addColumn<bool>("slow");
        constexpr int all = static_cast<int>(AnswerLateness::MaxSamples);
        QTest::newRow("just below") << Runs{{1, 7.99}} << false;
        QTest::newRow("just above") << Runs{{1, 8.01}} << true;
        QTest::newRow("a stray late one") << Runs{{2, 0.0}, {1, 30.0}} << false;
        // An even count: halfway between the two middle ones, neither of them alone.
        QTest::newRow("even, middle two just below")
            << Runs{{1, 0.0}, {1, 1.98}, {1, 14.0}, {1, 30.0}} << false;
        QTest::newRow("even, middle two just above")
            << Runs{{1, 30.0}, {1, 14.0}, {1, 2.02}, {1, 0.0}} << true;
        QTest::newRow("older ones forgotten") << Runs{{all, 0.0}, {all, 9.0}} << true;
    }
    void slowIsTheMedianOfTheLastAnswers()
    {
        QFETCH(Runs, runs);
        QFETCH(bool, slow);
        AnswerLateness lateness;
        for (const auto& [count, lateMs] : runs)
            for (int i = 0; i < count; ++i)
                lateness.record(1000, 1000 + (AnswerLateness::WireMs + lateMs) / 10);
        QCOMPARE(lateness.isSlow(), slow);
    }

    void aClosedPortFailsLikeATimeOut()
    {
        link->closePort();
        attempt();
        QVERIFY(port->written.isEmpty());
        clock->advance(20);
        QCOMPARE(result->outcome, Outcome::TimedOut);
    }

    void aHangUpEndsTheWaitingAttempt()
    {
        QSignalSpy failed(link, &SelectorLink::portFailed);
        attempt();
        port->hangUp();
        QVERIFY(result);
        QCOMPARE(result->outcome, Outcome::PortFailed);
        QCOMPARE(failed.count(), 1);
        QVERIFY(!link->isPortOpen());
        clock->advance(100); // the dead attempt's deadline must not fire a second time
        QCOMPARE(result->outcome, Outcome::PortFailed);
    }

    // A lost port opens again by itself only while its name leads to the device chosen.
    void aLostPortReopensOnlyToTheSameDevice_data()
    {
        const PortIdentity a{Kind::Adapter, "0403:6001 A5"}, b{Kind::Adapter, "0403:6001 B7"},
            none{Kind::BuiltIn, {}}, pty{Kind::Unknown, {}};
        QTest::addColumn<ChosenIdentity>("chosen"); // none: the explicit open failed
        QTest::addColumn<PortIdentity>("now");
        QTest::addColumn<bool>("reopens");
        QTest::newRow("same adapter") << ChosenIdentity(a) << a << true;
        QTest::newRow("another adapter") << ChosenIdentity(b) << a << false;
        QTest::newRow("adapter, now none") << ChosenIdentity(a) << none << false;
        QTest::newRow("never opened, adapter") << ChosenIdentity() << a << true;
        QTest::newRow("never opened, pseudo-terminal") << ChosenIdentity() << pty << false;
    }
    void aLostPortReopensOnlyToTheSameDevice()
    {
        QFETCH(ChosenIdentity, chosen);
        QFETCH(PortIdentity, now);
        port->identities["/dev/ttyUSB0"] = chosen.value_or(now);
        port->refusedDevices = chosen ? QStringList() : QStringList{"/dev/ttyUSB0"};
        link->openPort("/dev/ttyUSB0");
        port->hangUp();
        port->refusedDevices.clear();
        port->identities["/dev/ttyUSB0"] = now;
        QVERIFY(link->beginOperation());
        QTEST(link->isPortOpen(), "reopens");
    }

    void reportsWaitWithoutTimeOutUntilCancelled()
    {
        link->setReceiveThreshold(SelectorLink::ReportThreshold);
        result.reset();
        link->waitForData([this](const SelectorLink::AttemptResult& r) { result = r; });
        port->receive(QByteArray(5, '\x01'));
        clock->advance(100000);
        QVERIFY(!result);
        port->receive(QByteArray(5, '\x02'));
        QCOMPARE(result->outcome, Outcome::Replied);
        QCOMPARE(result->reply.size(), 10);

        link->waitForData([this](const SelectorLink::AttemptResult& r) { result = r; });
        link->cancelWait();
        QCOMPARE(result->outcome, Outcome::Cancelled);
        QVERIFY(!link->isWaiting());
    }

    void flushDiscardsEverythingWaiting()
    {
        port->receive(QByteArray::fromHex("0102030405060708"));
        QVERIFY(link->receiveFlag());
        link->flushInput();
        QVERIFY(!link->receiveFlag());
        QVERIFY(link->readReply().isEmpty());
    }

    void flushAlsoDropsWhatTheDriverStillHolds()
    {
        // Received by the operating system, not yet handed to the program: without clearing
        // the port's input these would come in after the flush and pose as the first reply.
        port->receiveInDriver(QByteArray::fromHex("E1050809F7"));
        link->flushInput();
        QCOMPARE(port->inputClears, 1);
        port->deliverDriverQueue();
        QVERIFY(!link->receiveFlag());
        QVERIFY(link->readReply().isEmpty());
    }

    void discardInputTellsHowMuchWasWaiting()
    {
        QCOMPARE(link->discardInput(), 0);
        port->receive(QByteArray::fromHex("E105"));
        port->receiveInDriver(QByteArray::fromHex("0809F7"));
        QCOMPARE(link->discardInput(), 2);
        QVERIFY(port->driverQueue().isEmpty());
        QVERIFY(!link->receiveFlag());
    }

    void aRepeatAfterATimeOutKeepsACompleteLateReply()
    {
        attempt();
        clock->advance(20);
        port->receive(QByteArray::fromHex("E1050809F7"));
        bool ready = false;
        link->prepareRepeat(Outcome::TimedOut, [&] { ready = true; });
        QVERIFY(ready); // at once
        QVERIFY(link->receiveFlag());
        attempt();
        QTRY_VERIFY(result.has_value());
        QCOMPARE(result->reply, QByteArray::fromHex("E1050809F7"));
    }

    // A time-out at address 5, then its repeat took the late answer: the repeat's own answer is
    // early for address 6. The reply address 6's attempt takes of what arrives (none: a
    // time-out).
    void anAnswerOwedIsDroppedAsLate_data()
    {
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<bool>("newOperation"); // address 6 is read in the next operation
        QTest::addColumn<Chunks>("arrivals");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray for5 = QByteArray::fromHex("E1050809F7"),
                         for6 = QByteArray::fromHex("E1060809F8"),
                         spoilt = QByteArray::fromHex("E1060809F9");
        QTest::newRow("owed, then its own") << true << false << Chunks{for5 + for6} << for6;
        QTest::newRow("owed, in two reads") << true << false << Chunks{for5, for6} << for6;
        QTest::newRow("owed, a spoilt answer") << true << false << Chunks{spoilt} << QByteArray();
        QTest::newRow("one owed, two late")
            << true << false << Chunks{for5 + for5 + for6} << for5 + for6;
        QTest::newRow("none owed") << false << false << Chunks{for5 + for6} << for5 + for6;
        QTest::newRow("owed in the operation before")
            << true << true << Chunks{for5 + for6} << for5 + for6;
    }
    void anAnswerOwedIsDroppedAsLate()
    {
        QFETCH(bool, timedOut);
        QFETCH(bool, newOperation);
        QFETCH(Chunks, arrivals);
        QFETCH(QByteArray, reply);
        const auto read = [this](int address) {
            result.reset();
            link->startAttempt(
                LinkCommands::readRequest(address),
                [this](const SelectorLink::AttemptResult& r) { result = r; },
                [address](const QByteArray& bytes) {
                    return LinkCommands::isValidReadReply(bytes, address);
                });
        };
        QVERIFY(link->beginOperation());
        read(5);
        if (timedOut) {
            clock->advance(SelectorLink::ReplyTimeoutHundredths);
            QCOMPARE(result->outcome, Outcome::TimedOut);
            read(5);
        }
        port->receive(QByteArray::fromHex("E1050809F7"));
        QCOMPARE(result->outcome, Outcome::Replied);
        if (newOperation) {
            link->endOperation();
            QVERIFY(link->beginOperation());
        }
        read(6);
        for (const QByteArray& bytes : arrivals)
            port->receive(bytes);
        if (!result)
            clock->advance(SelectorLink::ReplyTimeoutHundredths);
        QCOMPARE(result->outcome, reply.isEmpty() ? Outcome::TimedOut : Outcome::Replied);
        QCOMPARE(result->reply, reply);
    }

    void aRepeatAfterATimeOutDropsTheRemainsOfAShortAnswer()
    {
        attempt();
        port->receive(QByteArray::fromHex("E10508"));
        port->receiveInDriver(QByteArray::fromHex("09")); // held back by the port, too few to wake
        clock->advance(20);
        QCOMPARE(result->outcome, Outcome::TimedOut);
        bool ready = false;
        link->prepareRepeat(Outcome::TimedOut, [&] { ready = true; });
        QVERIFY(ready);
        port->deliverDriverQueue();
        attempt();
        port->receive(QByteArray::fromHex("E1050809F7"));
        QCOMPARE(result->reply, QByteArray::fromHex("E1050809F7"));
    }

    void aRepeatAfterABrokenReplyWaitsForTheRestOfTheFrame()
    {
        attempt();
        port->receive(QByteArray::fromHex("5AA53CE105")); // noise, then an answer begins
        QCOMPARE(result->outcome, Outcome::Replied);
        bool ready = false;
        link->prepareRepeat(Outcome::Replied, [&] { ready = true; });
        QVERIFY(!ready);
        port->receive(QByteArray::fromHex("0809")); // its rest comes in during the gap
        clock->advance(SelectorLink::ResyncGapHundredths - 1);
        port->receive(QByteArray::fromHex("F7"));
        QVERIFY(!ready);
        clock->advance(1);
        QVERIFY(ready);
        QVERIFY(link->readReply().isEmpty());
        QVERIFY(port->written.size() == 1); // nothing was sent meanwhile
    }

    void abandoningAlsoStopsAPreparedRepeat()
    {
        bool ready = false;
        link->prepareRepeat(Outcome::Replied, [&] { ready = true; });
        link->abandonWait();
        clock->advance(100);
        QVERIFY(!ready);
    }

    void aPauseInsideAnOperationKeepsTheLinkHeld()
    {
        QSignalSpy busy(link, &SelectorLink::busyChanged);
        QVERIFY(link->beginOperation());
        bool over = false;
        link->pauseThen(static_cast<float>(clock->now()), [&] { over = true; });
        clock->advance(29);
        QVERIFY(!over);
        clock->advance(1);
        QVERIFY(over);
        QVERIFY(link->isBusy());
        QVERIFY(!link->beginOperation());
        QCOMPARE(busy.count(), 1);
        link->endOperation();
    }

    void theSettlingPauseHoldsTheLink_data() { addStartTimes(); }
    void theSettlingPauseHoldsTheLink()
    {
        QFETCH(double, start);
        clock->setNow(start);
        QSignalSpy busy(link, &SelectorLink::busyChanged);
        QVERIFY(link->beginOperation());
        QVERIFY(!link->beginOperation()); // one operation at a time
        bool released = false;
        const float reference = static_cast<float>(clock->now());
        clock->advance(10);
        link->endOperationAfterPause(reference, [&] { released = true; });
        clock->advance(19);
        QVERIFY(link->isBusy());
        QVERIFY(!released);
        clock->advance(1);
        QVERIFY(released);
        QVERIFY(!link->isBusy());
        QCOMPARE(busy.count(), 2);
    }
};

QTEST_GUILESS_MAIN(SelectorLinkTest)
#include "SelectorLinkTest.moc"
