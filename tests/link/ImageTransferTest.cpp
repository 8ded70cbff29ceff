// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageTransfer.h"
#include "BlockSequence.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "LinkCommands.h"
#include "RecordingDisplay.h"
#include "SelectorImage.h"
#include "SelectorLink.h"

#include <QSignalSpy>
#include <QTest>

class ImageTransferTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeLinkRig> rig;
    FakeLinkClock* clock = nullptr;
    FakeLinkPort* port = nullptr;
    SelectorLink* link = nullptr;
    FakeSelector* selector = nullptr;
    SelectorImage image;
    RecordingDisplay display;

    // Runs a transfer to its end (after the settling pause); returns its outcome.
    std::optional<bool> run(ImageTransfer* transfer)
    {
        std::optional<bool> outcome;
        connect(transfer, &ImageTransfer::finished, this, [&](bool ok) { outcome = ok; });
        if (!transfer->start())
            return std::nullopt;
        pumpUntil(*clock, [&] { return outcome.has_value(); });
        delete transfer;
        return outcome;
    }

private slots:
    void init()
    {
        rig = std::make_unique<FakeLinkRig>();
        clock = &rig->clock;
        port = rig->port;
        link = &rig->link;
        selector = new FakeSelector(*port);
        image = SelectorImage();
        display = RecordingDisplay();
    }
    void cleanup()
    {
        delete selector;
        rig.reset();
    }

    void eachTransferOpensTheWindowWithItsOwnBlueText_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("progressMaximum");
        using Kind = ImageTransfer::Kind;
        QTest::newRow("full read") << int(Kind::FullRead) << "Try to communicate" << 189;
        QTest::newRow("partial read") << int(Kind::PartialRead) << "Try to communication" << 189;
        QTest::newRow("read before sampling")
            << int(Kind::SamplingRead) << "Try to communication" << 188;
        QTest::newRow("program block") << int(Kind::ProgramBlock) << "Communication" << 189;
    }
    void eachTransferOpensTheWindowWithItsOwnBlueText()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(int, progressMaximum);
        const auto transferKind = ImageTransfer::Kind(kind);
        std::unique_ptr<ImageTransfer> transfer(
            transferKind == ImageTransfer::Kind::ProgramBlock
                ? ImageTransfer::programBlock(120, 123, *link, image, display)
                : ImageTransfer::read(transferKind, *link, image, display));
        QVERIFY(transfer->start());
        QVERIFY(display.open);
        QCOMPARE(display.statusHistory.first(), text);
        QCOMPARE(display.colourHistory.first(), StatusColour::Blue);
        QCOMPARE(display.progressMaximum, progressMaximum);
    }

    // Address 37 holds 6: its answer is its request's own bytes, on either line.
    void aFullReadFillsTheImageWithOneRequestPerAddress_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::newRow("plain line") << false;
        QTest::newRow("line with local echo") << true;
    }
    void aFullReadFillsTheImageWithOneRequestPerAddress()
    {
        QFETCH(bool, echo);
        selector->echo = echo;
        QCOMPARE(selector->memory[37], 6);
        image.setCell(200, "kept");
        QCOMPARE(run(ImageTransfer::fullRead(*link, image, display)), true);
        QCOMPARE(selector->requests.size(), 189);
        QCOMPARE(selector->requests.first(), QByteArray::fromHex("E1000806EF"));
        for (int a = 0; a < 189; ++a)
            QCOMPARE(image.cell(a), QString::number(selector->memory[std::size_t(a)]));
        QCOMPARE(image.cell(189), QString());
        QCOMPARE(image.cell(200), QString("kept"));
        QVERIFY(!display.open);
        QCOMPARE(display.statusHistory, QStringList{"Try to communicate"});
        QVERIFY(!link->isBusy());
        QCOMPARE(link->lineEchoes(), echo);
    }

    void theBudgetCountsFailuresAcrossAllBytes_data()
    {
        QTest::addColumn<int>("faultKind");
        QTest::newRow("silence") << int(FakeSelector::Fault::Silent);
        QTest::newRow("wrong checksum") << int(FakeSelector::Fault::WrongChecksum);
        QTest::newRow("wrong lead byte") << int(FakeSelector::Fault::WrongLead);
        QTest::newRow("wrong address") << int(FakeSelector::Fault::WrongAddress);
    }
    void theBudgetCountsFailuresAcrossAllBytes()
    {
        QFETCH(int, faultKind);
        // One bad answer at each of five different addresses, every one retried successfully.
        for (int request : {3, 10, 20, 40, 60})
            selector->setFault(request, FakeSelector::Fault(faultKind));
        QCOMPARE(run(ImageTransfer::fullRead(*link, image, display)), false);
        QCOMPARE(selector->requests.size(), 61);
        QVERIFY(display.open);
        QVERIFY(display.closeEnabled);
        QCOMPARE(display.status, QString("Read selector error"));
        QCOMPARE(display.colour, StatusColour::Red);
        const bool silent = FakeSelector::Fault(faultKind) == FakeSelector::Fault::Silent;
        QCOMPARE(display.statusHistory.count("Communication time out !"), silent ? 5 : 0);
        // Addresses before the failing one were stored; the failing one and later kept theirs.
        QCOMPARE(image.cell(55), QString::number(selector->memory[55]));
        QCOMPARE(image.cell(56), QString());
    }

    void theSameFrameIsSentAgainAfterAFailure()
    {
        selector->setFault(0, FakeSelector::Fault::WrongChecksum);
        QCOMPARE(run(ImageTransfer::fullRead(*link, image, display)), true);
        QCOMPARE(selector->requests.at(0), selector->requests.at(1));
        QCOMPARE(selector->requests.size(), 190);
    }

    void aPartialReadCoversItsOwnRangeAndTexts()
    {
        QCOMPARE(run(ImageTransfer::partialRead(*link, image, display)), true);
        QCOMPARE(selector->requests.size(), 69);
        QCOMPARE(selector->requests.last(), QByteArray::fromHex("E1BC55AA9C"));
        QVERIFY(image.cell(119).isEmpty());
        QCOMPARE(display.progress, -1); // never advanced

        for (int request = 0; request < 5; ++request)
            selector->setFault(69 + request, FakeSelector::Fault::Silent);
        QCOMPARE(run(ImageTransfer::partialRead(*link, image, display)), false);
        QCOMPARE(display.status, QString("Program to selector error"));
    }

    void theReadBeforeSamplingShowsEachByte()
    {
        QCOMPARE(run(ImageTransfer::read(ImageTransfer::Kind::SamplingRead, *link, image, display)),
                 true);
        QCOMPARE(selector->requests.size(), 128);
        QCOMPARE(selector->requests.last(), LinkCommands::partialReadRequest(127).toByteArray());
        QCOMPARE(image.cell(127), QString::number(selector->memory[127]));
        QVERIFY(image.cell(128).isEmpty());
        QCOMPARE(display.statusHistory.mid(0, 2),
                 (QStringList{"Try to communication", "Transfer byte:0"}));
        QVERIFY(display.statusHistory.contains("Transfer byte:17"));
        QCOMPARE(display.progressMaximum, 188);
        QCOMPARE(display.progress, 127);
    }

    void aBlockWritesItsRangeAndEndsWithTheEndOfBlockFrame()
    {
        for (int a = 0; a < 256; ++a)
            image.setNumber(a, a);
        image.setCell(86, "300");
        image.setCell(87, "");
        image.setCell(88, "x1");
        image.setCell(120, "99");
        QCOMPARE(run(ImageTransfer::programBlock(86, 123, *link, image, display)), true);
        QCOMPARE(selector->writtenAddresses.size(), 38);
        QCOMPARE(selector->writtenAddresses.first(), 86);
        QCOMPARE(selector->writtenAddresses.last(), 123);
        QCOMPARE(selector->endOfBlocks, 1);
        QCOMPARE(port->written.last(), QByteArray::fromHex("890102038F"));
        QCOMPARE(int(selector->memory[86]), 44);
        QCOMPARE(int(selector->memory[87]), 0);
        QCOMPARE(int(selector->memory[88]), 0);
        const int fixed[] = {4, 52, 107, 61};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(image.cell(120 + i), QString::number(fixed[i]));
            QCOMPARE(int(selector->memory[std::size_t(120 + i)]), fixed[i]);
        }
        QCOMPARE(display.statusHistory, QStringList{"Communication"});
    }

    void aBlockThatGivesUpSendsNoEndOfBlock()
    {
        for (int request = 0; request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
        QCOMPARE(run(ImageTransfer::programBlock(0, 84, *link, image, display)), false);
        QCOMPARE(selector->endOfBlocks, 0);
        QCOMPARE(display.status, QString("Program to selector error"));
        QVERIFY(display.closeEnabled);
        // The fixed record is put into the image even when the block fails.
        QCOMPARE(image.cell(123), QString("61"));
    }

    void theStandardProgrammingSkipsSerialNumberAndSecondRecord()
    {
        for (int a = 0; a < 256; ++a)
            image.setNumber(a, 255 - a);
        // The first block fails; the others still run.
        for (int request = 0; request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::WrongLead);
        BlockSequence sequence(BlockSequence::standardBlocks(), *link, image, display);
        std::optional<bool> outcome;
        connect(&sequence, &BlockSequence::finished, this, [&](bool ok) { outcome = ok; });
        QVERIFY(sequence.start());
        QVERIFY(pumpUntil(*clock, [&] { return outcome.has_value(); }));
        QCOMPARE(*outcome, false);
        QCOMPARE(selector->endOfBlocks, 2);
        QVERIFY(!selector->writtenAddresses.contains(85));
        for (int a = 124; a <= 127; ++a)
            QVERIFY(!selector->writtenAddresses.contains(a));
        QCOMPARE(selector->writtenAddresses.count(100), 1);
        // The first block's failure is what the sequence ends with, though the last succeeded.
        QVERIFY(display.open);
        QVERIFY(display.closeEnabled);
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(display.colour, StatusColour::Red);
    }

    void aWrongAddressAnswerIsNeverStored()
    {
        for (int a = 0; a < 256; ++a)
            image.setCell(a, "old");
        for (int request = 10; request < 15; ++request)
            selector->setFault(request, FakeSelector::Fault::WrongAddress);
        QCOMPARE(run(ImageTransfer::fullRead(*link, image, display)), false);
        QCOMPARE(image.cell(9), QString::number(selector->memory[9]));
        // The answers carried address 11: neither 10 nor 11 took them.
        QCOMPARE(image.cell(10), QString("old"));
        QCOMPARE(image.cell(11), QString("old"));
    }

    void anAnswerHeldByTheDriverBeforeTheRequestIsNotTaken_data()
    {
        QTest::addColumn<bool>("program");
        QTest::newRow("full read") << false;
        QTest::newRow("program block") << true;
    }
    void anAnswerHeldByTheDriverBeforeTheRequestIsNotTaken()
    {
        // A stray frame that looks like the answer for address 4 has reached the driver, but
        // not the program, when the request for 4 goes out; it is handed over after.
        QFETCH(bool, program);
        const quint8 lead = program ? 0xE2 : 0xE1;
        const QByteArray stray = LinkFrame::build(lead, 4, 0x08, 0x99).toByteArray();
        selector->beforeAnswer = [&](int number, const LinkFrame&) {
            if (number == 3) {
                port->receiveInDriver(stray);
                selector->setFault(4, FakeSelector::Fault::Ignored);
            }
            if (number == 4)
                QMetaObject::invokeMethod(
                    port, [&] { port->deliverDriverQueue(); }, Qt::QueuedConnection);
        };
        for (int a = 0; a < 256; ++a)
            image.setNumber(a, 200 - a);
        auto* transfer = program ? ImageTransfer::programBlock(0, 10, *link, image, display)
                                 : ImageTransfer::fullRead(*link, image, display);
        QCOMPARE(run(transfer), true);
        if (program) {
            for (int a = 0; a <= 10; ++a)
                QCOMPARE(int(selector->memory[std::size_t(a)]), 200 - a);
        } else {
            for (int a = 0; a < 189; ++a)
                QCOMPARE(image.cell(a), QString::number(selector->memory[std::size_t(a)]));
        }
        QVERIFY(port->driverQueue().isEmpty());
    }

    void aBrokenFrameDoesNotSpoilTheRepeats_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<bool>("timesOut");
        // Three bytes before an answer: the first five taken fail, the rest must not be
        // taken with the repeat's answer.
        QTest::newRow("noise before the answer") << QByteArray::fromHex("5AA53C") << false;
        // A short answer (three bytes) times out; its bytes must not be taken with the repeat's.
        QTest::newRow("short answer") << QByteArray::fromHex("E20555") << true;
    }
    void aBrokenFrameDoesNotSpoilTheRepeats()
    {
        QFETCH(QByteArray, extra);
        QFETCH(bool, timesOut);
        selector->beforeAnswer = [&](int number, const LinkFrame&) {
            if (number != 5)
                return;
            if (timesOut) {
                selector->setFault(5, FakeSelector::Fault::Silent);
                port->receive(extra);
            } else {
                QMetaObject::invokeMethod(
                    port, [&] { port->receive(extra); }, Qt::QueuedConnection);
            }
        };
        selector->byteByByte = true;
        QCOMPARE(run(ImageTransfer::programBlock(0, 20, *link, image, display)), true);
        QCOMPARE(selector->countRequests(0xE2), 22); // one repeat
    }

    void aSecondOperationIsRefusedWhileOneRuns()
    {
        auto* first = ImageTransfer::fullRead(*link, image, display);
        QVERIFY(first->start());
        auto* second = ImageTransfer::fullRead(*link, image, display);
        QVERIFY(!second->start());
        delete second;
        QCOMPARE(selector->requests.size(), 1); // only the first transfer sent anything
        delete first;                           // torn down mid-run: the link is free again
        QVERIFY(!link->isBusy());
    }

    void theSettlingPauseFollowsTheLastRequest()
    {
        // Silence: five time-outs of 20, the pause then ends 30 after the last request.
        for (int request = 0; request < 5; ++request)
            selector->setFault(request, FakeSelector::Fault::Silent);
        auto* transfer = ImageTransfer::fullRead(*link, image, display);
        bool gaveUp = false;
        connect(link, &SelectorLink::busyChanged, this, [&](bool busy) {
            if (!busy)
                gaveUp = true;
        });
        const double start = clock->elapsed();
        QCOMPARE(run(transfer), false);
        QVERIFY(gaveUp);
        // Five attempts of 20 and a pause of 30 counted from the fifth request: 4*20 + 30.
        QCOMPARE(clock->elapsed() - start, 110.0);
    }
};

QTEST_GUILESS_MAIN(ImageTransferTest)
#include "ImageTransferTest.moc"
