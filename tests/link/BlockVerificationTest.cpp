// SPDX-License-Identifier: GPL-3.0-or-later
#include "BlockVerification.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "ImageTransfer.h"
#include "LinkCommands.h"
#include "RecordingDisplay.h"
#include "SelectorImage.h"

#include <QTest>

#include <optional>

// The read-back of a programmed block that needed retries, on a fake selector and fake time.
class BlockVerificationTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeLinkRig> rig;
    FakeLinkClock* clock = nullptr;
    FakeLinkPort* port = nullptr;
    SelectorLink* link = nullptr;
    FakeSelector* selector = nullptr;
    SelectorImage image;
    RecordingDisplay display;

    static constexpr int First = 0;
    static constexpr int Last = 20;

    // Programs First..Last; returns the outcome after the settling pause.
    std::optional<bool> program(ImageTransfer** keep = nullptr)
    {
        auto* transfer = ImageTransfer::programBlock(First, Last, *link, image, display);
        std::optional<bool> outcome;
        bool busyAtEnd = true;
        connect(transfer, &ImageTransfer::finished, this, [&](bool ok) {
            outcome = ok;
            busyAtEnd = link->isBusy();
        });
        if (!transfer->start())
            return std::nullopt;
        pumpUntil(*clock, [&] { return outcome.has_value(); });
        if (keep)
            *keep = transfer;
        else
            delete transfer;
        if (busyAtEnd)
            qWarning("the link was still held after finished()");
        return outcome;
    }

    // The frames received from the first end frame on, as hex.
    QStringList framesAfterFirstEnd() const
    {
        QStringList hex;
        bool seen = false;
        for (const QByteArray& frame : selector->frames) {
            seen = seen || quint8(frame.at(0)) == LinkCommands::EndOfBlockLead;
            if (seen)
                hex.append(frame.toHex().toUpper());
        }
        return hex;
    }

    bool selectorHoldsTheBlock() const
    {
        for (int a = First; a <= Last; ++a)
            if (selector->memory[std::size_t(a)] != image.selectorByte(a))
                return false;
        return true;
    }

private slots:
    void init()
    {
        rig = std::make_unique<FakeLinkRig>();
        clock = &rig->clock;
        port = rig->port;
        link = &rig->link;
        selector = new FakeSelector(*port, clock);
        image = SelectorImage();
        for (int a = 0; a < 256; ++a)
            image.setNumber(a, 250 - a);
        display = RecordingDisplay();
    }
    void cleanup()
    {
        delete selector;
        rig.reset();
    }

    void aCleanBlockIsNotReadBack()
    {
        ImageTransfer* transfer = nullptr;
        QCOMPARE(program(&transfer), true);
        QVERIFY(!transfer->wasReadBack());
        delete transfer;
        QCOMPARE(selector->countRequests(LinkCommands::WriteLead), Last - First + 1);
        QCOMPARE(selector->countRequests(LinkCommands::ReadLead), 0);
        QCOMPARE(selector->endOfBlocks, 1);
        QCOMPARE(display.statusHistory, QStringList{"Communication"});
        QVERIFY(!display.open);
    }

    void aBlockWithAnAnswerAmissIsReadBackAfterItsPause_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("repeats");
        QTest::newRow("time-out") << int(FakeSelector::Fault::Silent) << 1;
        QTest::newRow("wrong checksum") << int(FakeSelector::Fault::WrongChecksum) << 1;
        QTest::newRow("wrong lead byte") << int(FakeSelector::Fault::WrongLead) << 1;
        // Taken, for a write answer's address is not checked; but it tells of a stray frame.
        QTest::newRow("another address") << int(FakeSelector::Fault::WrongAddress) << 0;
    }
    void aBlockWithAnAnswerAmissIsReadBackAfterItsPause()
    {
        QFETCH(int, fault);
        QFETCH(int, repeats);
        selector->setFault(3, FakeSelector::Fault(fault));
        ImageTransfer* transfer = nullptr;
        QCOMPARE(program(&transfer), true);
        QCOMPARE(transfer->failures(), repeats);
        QCOMPARE(selector->countRequests(LinkCommands::WriteLead), Last - First + 1 + repeats);
        QVERIFY(transfer->wasReadBack());
        QVERIFY(transfer->rewrittenAddresses().isEmpty());
        delete transfer;
        QVERIFY(selectorHoldsTheBlock());

        // The end frame, then every address read back with the full read's frame, in order.
        QStringList expected{LinkCommands::endOfBlock().toByteArray().toHex().toUpper()};
        for (int a = First; a <= Last; ++a)
            expected.append(LinkCommands::readRequest(a).toByteArray().toHex().toUpper());
        QCOMPARE(framesAfterFirstEnd(), expected);
        // The read-back starts after the settling pause that follows the end frame.
        const qsizetype end = selector->frames.indexOf(LinkCommands::endOfBlock().toByteArray());
        QVERIFY(selector->frameTimes.at(end + 1) - selector->frameTimes.at(end) >=
                SelectorLink::SettlingPauseHundredths);

        QStringList verifyTexts;
        for (int a = First; a <= Last; ++a)
            verifyTexts.append(QString("Verify byte: %1").arg(a));
        QStringList shown = display.statusHistory;
        shown.removeAll("Communication");
        shown.removeAll("Communication time out !");
        QCOMPARE(shown, verifyTexts);
        QVERIFY(!display.open); // success closes the window, as always
    }

    void aStaleAnswerForALostWriteIsFoundAndWrittenAgain()
    {
        // The answer to 10 comes late and is taken by the repeat; the repeat's
        // own answer stands in for the first request for 11, which was lost.
        selector->setFault(10, FakeSelector::Fault::Late);
        selector->setFault(12, FakeSelector::Fault::Ignored);
        ImageTransfer* transfer = nullptr;
        QCOMPARE(program(&transfer), true);
        QCOMPARE(transfer->rewrittenAddresses(), QList<int>{11});
        delete transfer;
        QVERIFY(selectorHoldsTheBlock());

        QStringList expected{LinkCommands::endOfBlock().toByteArray().toHex().toUpper()};
        for (int a = First; a <= Last; ++a)
            expected.append(LinkCommands::readRequest(a).toByteArray().toHex().toUpper());
        for (const LinkFrame& frame : {LinkCommands::writeRequest(11, image.selectorByte(11)),
                                       LinkCommands::endOfBlock(), LinkCommands::readRequest(11)})
            expected.append(frame.toByteArray().toHex().toUpper());
        QCOMPARE(framesAfterFirstEnd(), expected);

        QVERIFY(display.statusHistory.contains("Verify byte: 11"));
        const QStringList tail = display.statusHistory.mid(display.statusHistory.size() - 2);
        QCOMPARE(tail, (QStringList{"Write again byte: 11", "Verify again byte: 11"}));
        QCOMPARE(display.colour, StatusColour::Blue);
        QVERIFY(!display.open);
    }

    // An answer still on its way from before the block is taken for its first request, which
    // was lost; no attempt of the block fails. Its address or value says it answers another.
    void anAnswerThatDoesNotEchoItsWriteHasTheBlockReadBack_data()
    {
        QTest::addColumn<int>("addressOffset");
        QTest::addColumn<int>("valueOffset");
        QTest::newRow("another address") << 7 << 0;
        QTest::newRow("another value") << 0 << 1;
    }
    void anAnswerThatDoesNotEchoItsWriteHasTheBlockReadBack()
    {
        QFETCH(int, addressOffset);
        QFETCH(int, valueOffset);
        const QByteArray stale =
            LinkCommands::writeRequest(First + addressOffset,
                                       quint8(image.selectorByte(First) + valueOffset))
                .toByteArray(); // a selector echoes the write
        selector->setFault(0, FakeSelector::Fault::Ignored);
        selector->beforeAnswer = [&](int number, const LinkFrame&) {
            if (number == 0)
                QMetaObject::invokeMethod(
                    port, [&] { port->receive(stale); }, Qt::QueuedConnection);
        };
        ImageTransfer* transfer = nullptr;
        QCOMPARE(program(&transfer), true);
        QCOMPARE(transfer->rewrittenAddresses(), QList<int>{First});
        delete transfer;
        QVERIFY(selectorHoldsTheBlock());
    }

    void aByteThatStillDiffersFailsTheBlock_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("wrong checksum") << int(FakeSelector::Fault::WrongChecksum);
        QTest::newRow("another address") << int(FakeSelector::Fault::WrongAddress);
    }
    void aByteThatStillDiffersFailsTheBlock()
    {
        QFETCH(int, fault);
        selector->stuckAddresses = {5};
        selector->setFault(2, FakeSelector::Fault(fault));
        QCOMPARE(program(), false);
        QCOMPARE(selector->endOfBlocks, 2); // the block's and the one of the byte written again
        QCOMPARE(selector->countRequests(LinkCommands::ReadLead), Last - First + 1 + 1);
        QVERIFY(display.open);
        QVERIFY(display.closeEnabled);
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(display.colour, StatusColour::Red);
        QVERIFY(display.statusHistory.contains("Write again byte: 5"));
        QVERIFY(display.statusHistory.contains("Verify again byte: 5"));
        QVERIFY(!link->isBusy());
    }

    // The selector stops answering in a step of the read-back (at one address, five times):
    // no answer, never "not held", and every address not confirmed by then is named, those
    // written again included. 5 and 9 differ until written again (5 also after, when stuck).
    void aReadBackCutShortIsNoAnswer_data()
    {
        QTest::addColumn<int>("step"); // the end frames before it
        QTest::addColumn<int>("lead");
        QTest::addColumn<int>("silentAt");
        QTest::addColumn<bool>("stuck");
        QTest::addColumn<QList<int>>("unconfirmed");
        const int read = LinkCommands::ReadLead;
        const int write = LinkCommands::WriteLead;
        QList<int> fromFour;
        for (int a = 4; a <= Last; ++a)
            fromFour.append(a);
        QTest::newRow("first read-back") << 1 << read << 4 << false << fromFour;
        QTest::newRow("first read-back, after bytes that differ")
            << 1 << read << 12 << false << QList<int>{5, 9} + fromFour.mid(12 - 4);
        QTest::newRow("write again") << 1 << write << 5 << false << QList<int>{5, 9};
        QTest::newRow("write again, its last byte") << 1 << write << 9 << false << QList<int>{5, 9};
        QTest::newRow("second read-back") << 2 << read << 5 << false << QList<int>{5, 9};
        QTest::newRow("second read-back, its last byte")
            << 2 << read << 9 << false << QList<int>{9};
        QTest::newRow("second read-back, after a byte still not held")
            << 2 << read << 9 << true << QList<int>{5, 9};
    }
    void aReadBackCutShortIsNoAnswer()
    {
        QFETCH(int, step);
        QFETCH(int, lead);
        QFETCH(int, silentAt);
        QFETCH(bool, stuck);
        QFETCH(QList<int>, unconfirmed);
        selector->setFault(0, FakeSelector::Fault::Silent); // the block is read back
        selector->stuckAddresses = {5, 9};
        selector->beforeAnswer = [&](int number, const LinkFrame& request) {
            if (selector->endOfBlocks == 1 && request.lead() == LinkCommands::WriteLead)
                selector->stuckAddresses = stuck ? QSet<int>{5} : QSet<int>();
            if (selector->endOfBlocks == step && request.lead() == lead &&
                request.at(1) == silentAt)
                selector->setFault(number, FakeSelector::Fault::Silent);
        };
        ImageTransfer* transfer = nullptr;
        QCOMPARE(program(&transfer), false);
        QVERIFY(!transfer->answered());
        QVERIFY(transfer->unconfirmedAddresses().isEmpty()); // none found not held
        delete transfer;
        QCOMPARE(display.statusHistory.count("Communication time out !"), 1 + 5);
        QCOMPARE(display.status, "Program to selector error: no answer; not confirmed: " +
                                     BlockVerification::addressList(unconfirmed));
        QCOMPARE(display.colour, StatusColour::Red);
        QVERIFY(display.closeEnabled);
    }

    void eachStepHasARetryBudgetOfItsOwn()
    {
        // Four failures while writing, four while reading back, four while writing again and
        // four while reading back again: each step is within its own budget of five.
        selector->stuckAddresses = {7};
        for (int request : {1, 2, 3, 4})
            selector->setFault(request, FakeSelector::Fault::WrongChecksum);
        const int writes = Last - First + 1 + 4;
        for (int request = writes; request < writes + 4; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
        const int reads = Last - First + 1 + 4;
        const int again = writes + reads;
        for (int request = again; request < again + 4; ++request)
            selector->setFault(request, FakeSelector::Fault::WrongLead);
        for (int request = again + 5; request < again + 9; ++request)
            selector->setFault(request, FakeSelector::Fault::WrongChecksum);
        selector->beforeAnswer = [&](int number, const LinkFrame&) {
            if (number == again + 4)
                selector->stuckAddresses.clear(); // the byte takes on the second try
        };
        ImageTransfer* transfer = nullptr;
        QCOMPARE(program(&transfer), true);
        QCOMPARE(transfer->rewrittenAddresses(), QList<int>{7});
        QCOMPARE(transfer->failures(), 4);
        delete transfer;
        QVERIFY(selectorHoldsTheBlock());
    }

    // Spoilt answers by address (0, 1, 2) in the read-back or in the writes again, whose
    // bytes the block's own writes left differing.
    void eachByteHasFiveAttempts_data()
    {
        QTest::addColumn<int>("lead");
        QTest::addColumn<QList<int>>("failures");
        QTest::addColumn<int>("unconfirmed"); // -1: the block succeeds
        for (const int lead : {LinkCommands::ReadLead, LinkCommands::WriteLead}) {
            QTest::addRow("%X: four on each", lead) << lead << QList<int>{4, 4, 4} << -1;
            QTest::addRow("%X: five on one", lead) << lead << QList<int>{4, 4, 5} << 2;
        }
    }
    void eachByteHasFiveAttempts()
    {
        QFETCH(int, lead);
        QFETCH(QList<int>, failures);
        QFETCH(int, unconfirmed);
        selector->setFault(0, FakeSelector::Fault::Silent);
        selector->stuckAddresses = {0, 1, 2};
        selector->beforeAnswer = [&](int number, const LinkFrame& request) {
            if (selector->endOfBlocks > 0)
                selector->stuckAddresses.clear();
            if (selector->endOfBlocks > 0 && request.lead() == lead && request.at(1) < 3 &&
                failures[request.at(1)]-- > 0)
                selector->setFault(number, FakeSelector::Fault::WrongChecksum);
        };
        QCOMPARE(program(), std::optional(unconfirmed < 0));
        if (unconfirmed < 0)
            QVERIFY(selectorHoldsTheBlock());
        else
            QCOMPARE(display.progress, unconfirmed); // the failure stands over that byte
    }

    void theFixedRecordIsVerifiedAsSent()
    {
        // A block over 120..123 compares them with the fixed values it put into the image.
        image.setCell(121, "99");
        selector->stuckAddresses = {122};
        selector->setFault(0, FakeSelector::Fault::Silent);
        auto* transfer = ImageTransfer::programBlock(118, 124, *link, image, display);
        std::optional<bool> outcome;
        connect(transfer, &ImageTransfer::finished, this, [&](bool ok) { outcome = ok; });
        QVERIFY(transfer->start());
        QVERIFY(pumpUntil(*clock, [&] { return outcome.has_value(); }));
        QCOMPARE(*outcome, false);
        QCOMPARE(transfer->rewrittenAddresses(), QList<int>{122});
        delete transfer;
        QCOMPARE(int(selector->memory[121]), 52);
    }

    void theTransferCanGoAwayDuringTheReadBack()
    {
        selector->setFault(0, FakeSelector::Fault::Silent);
        auto* transfer = ImageTransfer::programBlock(First, Last, *link, image, display);
        QVERIFY(transfer->start());
        QVERIFY(pumpUntil(*clock, [&] { return selector->countRequests(0xE1) == 3; }));
        QVERIFY(link->isBusy());
        delete transfer;
        QVERIFY(!link->isBusy());
        clock->advance(1000);
        QCoreApplication::processEvents();
        QCOMPARE(selector->countRequests(0xE1), 3);
    }

    void theStatusTexts()
    {
        using Step = BlockVerification::Step;
        QCOMPARE(BlockVerification::statusText(Step::Verify, 7), QString("Verify byte: 7"));
        QCOMPARE(BlockVerification::statusText(Step::WriteAgain, 188),
                 QString("Write again byte: 188"));
        QCOMPARE(BlockVerification::statusText(Step::VerifyAgain, 0),
                 QString("Verify again byte: 0"));
    }
};

QTEST_GUILESS_MAIN(BlockVerificationTest)
#include "BlockVerificationTest.moc"
