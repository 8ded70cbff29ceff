// SPDX-License-Identifier: GPL-3.0-or-later
#include "BlockSequence.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "ImageTransfer.h"
#include "LinkCommands.h"
#include "RecordingDisplay.h"
#include "SelectorImage.h"

#include <QTest>

#include <optional>

// A sequence of blocks ends with the worst outcome of its blocks.
class BlockSequenceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeLinkRig> rig;
    FakeLinkClock* clock = nullptr;
    FakeLinkPort* port = nullptr;
    SelectorLink* link = nullptr;
    FakeSelector* selector = nullptr;
    SelectorImage image;
    RecordingDisplay display;

    std::optional<bool> runStandard()
    {
        BlockSequence sequence(BlockSequence::standardBlocks(), *link, image, display);
        std::optional<bool> outcome;
        connect(&sequence, &BlockSequence::finished, this, [&](bool ok) { outcome = ok; });
        if (!sequence.start())
            return std::nullopt;
        pumpUntil(
            *clock, [&] { return outcome.has_value(); }, 50000);
        return outcome;
    }

    void failFirstAttemptsOfBlock(int firstRequest)
    {
        for (int request = firstRequest; request < firstRequest + 5; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
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
            image.setNumber(a, a ^ 0x5A);
        display = RecordingDisplay();
    }
    void cleanup()
    {
        delete selector;
        rig.reset();
    }

    void aCleanSequenceClosesTheWindow()
    {
        QCOMPARE(runStandard(), true);
        QCOMPARE(selector->countRequests(LinkCommands::WriteLead), 184);
        QCOMPARE(selector->countRequests(LinkCommands::ReadLead), 0);
        QCOMPARE(selector->endOfBlocks, 3);
        QCOMPARE(display.statusHistory, QStringList(3, "Communication"));
        QVERIFY(!display.open);
        QVERIFY(!link->isBusy());
    }

    void aFailedBlockIsNotHiddenByTheLaterOnes()
    {
        failFirstAttemptsOfBlock(0); // block 0..84 gives up at address 0
        QCOMPARE(runStandard(), false);
        // The later blocks still ran, showed their progress and wrote their bytes...
        QCOMPARE(selector->endOfBlocks, 2);
        QCOMPARE(selector->writtenAddresses.count(100), 1);
        QCOMPARE(selector->writtenAddresses.count(188), 1);
        QCOMPARE(display.progress, 188);
        // ...but never closed the window, and the failure is what it shows at the end.
        QCOMPARE(display.closes, 0);
        QVERIFY(display.open);
        QVERIFY(display.closeEnabled);
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(display.colour, StatusColour::Red);
    }

    void aFailedMiddleBlockIsNotHiddenEither()
    {
        failFirstAttemptsOfBlock(85); // the first request of block 86..123
        QCOMPARE(runStandard(), false);
        QCOMPARE(selector->endOfBlocks, 2);
        QCOMPARE(display.closes, 1); // only the first block, which succeeded before it
        QVERIFY(display.open);
        QVERIFY(display.closeEnabled);
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(display.colour, StatusColour::Red);
    }

    void aFailedLastBlockEndsRed()
    {
        failFirstAttemptsOfBlock(85 + 38);
        QCOMPARE(runStandard(), false);
        QCOMPARE(display.closes, 2);
        QVERIFY(display.open);
        QVERIFY(display.closeEnabled);
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(display.statusHistory.count("Program to selector error"), 1);
    }

    // The middle block's second read-back finds 100 still differing and then goes unanswered at
    // 101 (both differ until written again): its outcome is no answer, no address is "not
    // held", and its own text stands at the end after the last block succeeded.
    void aReadBackCutShortIsNoAnswerForTheSequence()
    {
        selector->setFault(85, FakeSelector::Fault::Silent); // block 86..123 is read back
        selector->stuckAddresses = {100, 101};
        selector->beforeAnswer = [&](int number, const LinkFrame& request) {
            if (selector->endOfBlocks == 2 && request.lead() == LinkCommands::WriteLead)
                selector->stuckAddresses.remove(101);
            if (selector->endOfBlocks == 3 && request.lead() == LinkCommands::ReadLead &&
                request.at(1) == 101)
                selector->setFault(number, FakeSelector::Fault::Silent);
        };
        BlockSequence sequence(BlockSequence::standardBlocks(), *link, image, display);
        std::optional<bool> outcome;
        connect(&sequence, &BlockSequence::finished, this, [&](bool ok) { outcome = ok; });
        QVERIFY(sequence.start());
        QVERIFY(pumpUntil(
            *clock, [&] { return outcome.has_value(); }, 50000));
        QCOMPARE(outcome, std::optional(false));
        QCOMPARE(selector->writtenAddresses.count(188), 1);
        QVERIFY(!sequence.everyBlockAnswered());
        QVERIFY(sequence.unconfirmedAddresses().isEmpty());
        QCOMPARE(
            display.status,
            QString("Program to selector error: no answer; not confirmed: addresses 100, 101"));
    }

    void theFailureShowsAsSoonAsTheLastBlockIsOver()
    {
        failFirstAttemptsOfBlock(0);
        BlockSequence sequence(BlockSequence::standardBlocks(), *link, image, display);
        bool ended = false;
        connect(&sequence, &BlockSequence::finished, this, [&] { ended = true; });
        QVERIFY(sequence.start());
        // The third block's end frame goes out; the settling pause follows.
        QVERIFY(pumpUntil(
            *clock, [&] { return selector->endOfBlocks == 2; }, 50000));
        QVERIFY(!ended);
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(display.colour, StatusColour::Red);
        QVERIFY(display.closeEnabled);
        QVERIFY(pumpUntil(*clock, [&] { return ended; }));
    }

    void aSequenceStartsOnlyOnAFreeLink()
    {
        QVERIFY(link->beginOperation());
        BlockSequence sequence(BlockSequence::standardBlocks(), *link, image, display);
        QVERIFY(!sequence.start());
        QVERIFY(port->written.isEmpty());
        link->endOperation();
    }
};

QTEST_GUILESS_MAIN(BlockSequenceTest)
#include "BlockSequenceTest.moc"
