// SPDX-License-Identifier: GPL-3.0-or-later
#include "BlockSequence.h"
#include "ImageTransfer.h"
#include "LinkCommands.h"
#include "RecordingDisplay.h"
#include "SelectorImage.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <optional>

using namespace std::chrono_literals;
using selectorsim::Fault;
using selectorsim::SelectorSimulator;

namespace {
constexpr int Patience = 15000; // ms; generous, the machine may be busy

QList<int> standardAddresses()
{
    QList<int> addresses;
    for (const auto& block : BlockSequence::standardBlocks())
        for (int a = block.begin; a <= block.total; ++a)
            addresses.append(a);
    return addresses;
}
} // namespace

class LinkOverPtyTest : public QObject
{
    Q_OBJECT

    SystemLinkClock clock;
    std::unique_ptr<SelectorSimulator> simulator;
    std::unique_ptr<SelectorLink> link;
    SelectorImage image;
    RecordingDisplay display;

    std::optional<bool> runTransfer(ImageTransfer* transfer)
    {
        std::optional<bool> outcome;
        connect(transfer, &ImageTransfer::finished, this, [&](bool ok) { outcome = ok; });
        if (!transfer->start())
            return std::nullopt;
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, Patience))
            qWarning("the transfer did not finish");
        delete transfer;
        return outcome;
    }

    std::optional<bool> runStandardProgramming()
    {
        BlockSequence sequence(BlockSequence::standardBlocks(), *link, image, display);
        std::optional<bool> outcome;
        connect(&sequence, &BlockSequence::finished, this, [&](bool ok) { outcome = ok; });
        if (!sequence.start())
            return std::nullopt;
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 2 * Patience))
            qWarning("the programming did not finish");
        return outcome;
    }

    // Addresses of the standard programming where the selector does not hold the image's byte.
    QList<int> differingAddresses() const
    {
        QList<int> differing;
        for (int a : standardAddresses())
            if (simulator->memoryAt(a) != image.selectorByte(a))
                differing.append(a);
        return differing;
    }

    // An image unlike the selector's memory at every address.
    void fillImageUnlikeTheSelector()
    {
        for (int a = 0; a < 189; ++a)
            image.setNumber(a, simulator->memoryAt(a) ^ 0xA5);
    }

    void startSimulator(selectorsim::SimulatorOptions options = {})
    {
        link.reset();
        simulator = std::make_unique<SelectorSimulator>(options);
        QVERIFY2(simulator->start(), simulator->errorString().c_str());
        link = std::make_unique<SelectorLink>(std::make_unique<SerialLinkPort>(), clock);
        QVERIFY(link->openPort(QString::fromStdString(simulator->devicePath())));
    }

private slots:
    void init()
    {
        startSimulator();
        image = SelectorImage();
        display = RecordingDisplay();
    }
    void cleanup()
    {
        link.reset();
        simulator.reset();
    }

    void oneExchangeGetsTheSelectorsByte()
    {
        simulator->setMemoryAt(7, 0x42);
        std::optional<SelectorLink::AttemptResult> result;
        link->startAttempt(LinkCommands::readRequest(7), [&](const auto& r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), Patience);
        QCOMPARE(result->outcome, SelectorLink::Outcome::Replied);
        QVERIFY(LinkCommands::isValidReadReply(result->reply, 7));
        QCOMPARE(int(quint8(result->reply.at(3))), 0x42);
    }

    void aFullReadMirrorsTheSelector()
    {
        QCOMPARE(runTransfer(ImageTransfer::fullRead(*link, image, display)), true);
        QCOMPARE(simulator->countReceived(LinkCommands::ReadLead), 189);
        const auto memory = simulator->memory();
        for (int a = 0; a < 189; ++a)
            QCOMPARE(image.cell(a), QString::number(memory[std::size_t(a)]));
    }

    // Through an adapter with local echo, programmed first (the link learns the echo on the
    // way) and read after: the selector's bytes, also where its answer equals the request.
    void aLineWithLocalEchoProgramsAndReadsTheSelector_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::newRow("plain line") << false;
        QTest::newRow("local echo") << true;
    }
    void aLineWithLocalEchoProgramsAndReadsTheSelector()
    {
        QFETCH(bool, echo);
        startSimulator({.echo = echo});
        fillImageUnlikeTheSelector();
        for (const int a : {0, 37, 188})
            image.setNumber(a, 6); // read with 08 06, its answer is the request's bytes
        QCOMPARE(runStandardProgramming(), true);
        QCOMPARE(differingAddresses(), QList<int>());
        image = SelectorImage();
        QCOMPARE(runTransfer(ImageTransfer::fullRead(*link, image, display)), true);
        for (int a = 0; a < 189; ++a)
            QCOMPARE(image.cell(a), QString::number(simulator->memoryAt(a)));
        QCOMPARE(link->lineEchoes(), echo);
    }

    void aSilentSelectorTimesOutFiveTimes()
    {
        simulator->setSilent(true);
        QCOMPARE(runTransfer(ImageTransfer::fullRead(*link, image, display)), false);
        QCOMPARE(display.statusHistory.count("Communication time out !"), 5);
        QCOMPARE(display.status, QString("Read selector error"));
        QCOMPARE(simulator->countReceived(LinkCommands::ReadLead), 5);
    }

    void aLateReplyIsTakenByTheRetry()
    {
        simulator->setMemoryAt(0, 99);
        simulator->queueFault(Fault::LateReply);
        std::optional<SelectorLink::AttemptResult> result;
        link->startAttempt(LinkCommands::readRequest(0), [&](const auto& r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), Patience);
        QCOMPARE(result->outcome, SelectorLink::Outcome::TimedOut);
        QTRY_VERIFY_WITH_TIMEOUT(link->receiveFlag(), Patience); // the late reply has come in
        result.reset();
        link->startAttempt(LinkCommands::readRequest(0), [&](const auto& r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), Patience);
        QCOMPARE(result->outcome, SelectorLink::Outcome::Replied);
        QVERIFY(LinkCommands::isValidReadReply(result->reply, 0));
        QCOMPARE(int(quint8(result->reply.at(3))), 99);
    }

    void badRepliesAreRetriedAndCountAgainstTheBudget_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("wrong checksum") << int(Fault::WrongChecksum);
        QTest::newRow("wrong lead byte") << int(Fault::WrongLeadByte);
        QTest::newRow("no reply") << int(Fault::NoReply);
    }
    void badRepliesAreRetriedAndCountAgainstTheBudget()
    {
        QFETCH(int, fault);
        simulator->queueFault(Fault(fault), 4);
        image.setCell(10, "300");
        QCOMPARE(runTransfer(ImageTransfer::programBlock(10, 12, *link, image, display)), true);
        QCOMPARE(simulator->memoryAt(10), std::uint8_t{44});
        simulator->queueFault(Fault(fault), 5);
        QCOMPARE(runTransfer(ImageTransfer::programBlock(10, 12, *link, image, display)), false);
        QCOMPARE(display.status, QString("Program to selector error"));
    }

    // The answer to 10 comes 300 ms late and is taken by a later
    // attempt; the first request for 11 is lost on the line.
    void aStaleAnswerDoesNotStandInForALostWrite()
    {
        fillImageUnlikeTheSelector();
        simulator->queueFaultAt(10, Fault::LateReply, 1, 300ms);
        simulator->queueFaultAt(11, Fault::IgnoreRequest);
        QCOMPARE(runStandardProgramming(), true);
        QCOMPARE(differingAddresses(), QList<int>());
        QVERIFY(display.statusHistory.contains("Verify byte: 84"));
        QVERIFY(display.statusHistory.contains("Write again byte: 11"));
        QVERIFY(display.statusHistory.contains("Verify again byte: 11"));
        QVERIFY(!display.open);
    }

    // Block 0..84 gives up, the later blocks complete.
    void aBlockThatGaveUpIsNotHiddenByTheLaterOnes()
    {
        fillImageUnlikeTheSelector();
        simulator->queueFaultAt(0, Fault::NoReply, 5);
        QCOMPARE(runStandardProgramming(), false);
        QCOMPARE(simulator->countReceived(LinkCommands::EndOfBlockLead), 2);
        QCOMPARE(display.progress, 188); // the later blocks ran and showed their progress
        QVERIFY(display.open);
        QVERIFY(display.closeEnabled);
        QCOMPARE(display.status, QString("Program to selector error"));
        QCOMPARE(display.colour, StatusColour::Red);
        for (int a : differingAddresses())
            QVERIFY2(a <= 84, qPrintable(QString::number(a)));
    }

    void aCleanStandardProgrammingSendsTheSameFramesAsEver()
    {
        fillImageUnlikeTheSelector();
        QCOMPARE(runStandardProgramming(), true);
        std::vector<selectorsim::Frame> expected;
        for (const auto& block : BlockSequence::standardBlocks()) {
            for (int a = block.begin; a <= block.total; ++a)
                expected.push_back(selectorsim::makeFrame(LinkCommands::WriteLead, std::uint8_t(a),
                                                          0x55, image.selectorByte(a)));
            expected.push_back(selectorsim::makeFrame(0x89, 1, 2, 3));
        }
        QCOMPARE(simulator->countReceived(LinkCommands::WriteLead), 184);
        QCOMPARE(simulator->countReceived(LinkCommands::EndOfBlockLead), 3);
        QCOMPARE(simulator->countReceived(LinkCommands::ReadLead), 0);
        QVERIFY(simulator->receivedFrames() == expected);
        QCOMPARE(differingAddresses(), QList<int>());
        QCOMPARE(display.statusHistory, QStringList(3, "Communication"));
        QVERIFY(!display.open);
    }

    // An answer for the next address arrives (late, for the request
    // before) while the program is busy between the two requests.
    void aLateAnswerWithAWrongAddressIsNeverStored()
    {
        simulator->setMemoryAt(10, 0x11);
        simulator->setMemoryAt(11, 0x22);
        for (int a = 0; a < 256; ++a)
            image.setCell(a, "old");
        // The first answer to 10 carries address 11 and comes 250 ms late...
        simulator->queueFaultAt(10, Fault::WrongAddress, 1, 250ms);
        // ...while the program repaints before its request for 11.
        bool blocked = false;
        display.onProgress = [&](int address) {
            if (address == 11 && !std::exchange(blocked, true))
                QThread::msleep(200);
        };
        QCOMPARE(runTransfer(ImageTransfer::fullRead(*link, image, display)), true);
        QVERIFY(blocked);
        QCOMPARE(image.cell(10), QString::number(0x11));
        QCOMPARE(image.cell(11), QString::number(0x22));
        const auto memory = simulator->memory();
        for (int a = 0; a < 189; ++a)
            QCOMPARE(image.cell(a), QString::number(memory[std::size_t(a)]));
    }

    // The flush before a transfer also empties the driver's input queue.
    void theFlushDropsWhatTheDriverHolds()
    {
        simulator->sendBytes({0xE1, 0x00, 0x08, 0x99, 0x82});
        QThread::msleep(50); // received by the driver, not yet read by the program
        link->flushInput();
        QTest::qWait(100);
        QVERIFY(!link->receiveFlag());
        QVERIFY(link->readReply().isEmpty());
    }

    // A pseudo-terminal's name may by now be another program's line: after a hang-up the next
    // operation does not open it again by itself, and sends nothing.
    void aLostPseudoTerminalIsNotOpenedAgainByItself()
    {
        simulator->hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!link->isPortOpen(), Patience);
        simulator->stop();
        QVERIFY(simulator->start()); // often on the name the old one had
        QSignalSpy refused(link.get(), &SelectorLink::reopenFailed);
        QCOMPARE(runTransfer(ImageTransfer::fullRead(*link, image, display)), false);
        QVERIFY(refused.at(0).at(0).toString().endsWith("may now be another device: choose the "
                                                        "port again (System menu)"));
    }

    void aHangUpDuringAnExchangeFailsItAndClosesThePort()
    {
        QSignalSpy failed(link.get(), &SelectorLink::portFailed);
        simulator->queueFault(Fault::HangUp);
        const QString retried = "Communication time out !";
        QCOMPARE(runTransfer(ImageTransfer::fullRead(*link, image, display)), false);
        QCOMPARE(failed.count(), 1);
        QVERIFY(!link->isPortOpen());
        QCOMPARE(display.status, QString("Read selector error"));
        QVERIFY(!display.statusHistory.contains(retried)); // ended at once, not by time-outs
        // With the port closed nothing keeps the event loop busy: later exchanges time out.
        std::optional<SelectorLink::AttemptResult> result;
        link->startAttempt(LinkCommands::readRequest(0), [&](const auto& r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), Patience);
        QCOMPARE(result->outcome, SelectorLink::Outcome::TimedOut);
    }
};

QTEST_GUILESS_MAIN(LinkOverPtyTest)
#include "LinkOverPtyTest.moc"
