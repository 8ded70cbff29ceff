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

#include <optional>

using selectorsim::Fault;
using selectorsim::SelectorSimulator;

namespace {
constexpr int Patience = 15000; // ms; generous, the machine may be busy
}

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

private slots:
    void init()
    {
        simulator = std::make_unique<SelectorSimulator>();
        QVERIFY2(simulator->start(), simulator->errorString().c_str());
        link = std::make_unique<SelectorLink>(std::make_unique<SerialLinkPort>(), clock);
        QVERIFY(link->openPort(QString::fromStdString(simulator->devicePath())));
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
