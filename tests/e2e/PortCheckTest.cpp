// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortCheck.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "LinkCommands.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QTest>

#include <optional>

using namespace std::chrono_literals;
using Verdict = PortCheck::Verdict;

namespace {
const QByteArray Request = LinkCommands::readRequest(0).toByteArray();
const QByteArray Answer = LinkFrame::build(0xE1, 0, 0x08, 0x2A).toByteArray();
// The same byte asked for with other filler bytes, and a selector's answer to it (it holds 6).
const QByteArray OtherRequest = LinkCommands::partialReadRequest(0).toByteArray();
const QByteArray OtherAnswer = LinkFrame::build(0xE1, 0, 0x55, 0x06).toByteArray();
} // namespace

class PortCheckTest : public QObject
{
    Q_OBJECT

    SystemLinkClock clock;

private slots:
    // On fake time, the far end gives each read its bytes this many ms beyond the wire time of
    // request and answer, or nothing; the check keeps the quickest answer. A copy of the
    // request alone is asked about again with other filler bytes.
    void theVerdictNamesWhatCameBack_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies"); // per read; empty: nothing
        QTest::addColumn<QList<double>>("lateMs");      // per read
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<double>("quickestLateMs");
        const QList<double> atOnce{0, 0, 0};
        const auto reads = [](int count) { return QList<QByteArray>(count, Request); };
        QTest::newRow("just under the limit")
            << QList{Answer} << QList{7.9} << Verdict::Answers << reads(1) << 7.9;
        QTest::newRow("three at the limit") << QList{Answer, Answer, Answer} << QList{8.0, 9.0, 8.5}
                                            << Verdict::AnswersSlowly << reads(3) << 8.0;
        QTest::newRow("late once, then quick")
            << QList{Answer, Answer} << QList{30.0, 1.0} << Verdict::Answers << reads(2) << 1.0;
        QTest::newRow("a fragment")
            << QList<QByteArray>{"\x5A\xA5", {}, {}} << atOnce << Verdict::Stray << reads(3) << 0.0;
        QTest::newRow("a stray byte, then an answer")
            << QList{"\x3C" + Answer, Answer} << QList{0.0, 2.0} << Verdict::Answers << reads(2)
            << 2.0;
        QTest::newRow("echo and answer")
            << QList{Request + Answer} << QList{3.0} << Verdict::Answers << reads(1) << 3.0;
        // A selector whose byte 0 is 06 answers the read with the request's own bytes.
        QTest::newRow("an answer like the request")
            << QList{Request, OtherAnswer} << QList{1.0, 2.0} << Verdict::Answers
            << QList{Request, OtherRequest} << 2.0;
        QTest::newRow("only the echo") << QList{Request, OtherRequest} << QList{0.0, 0.0}
                                       << Verdict::Echo << QList{Request, OtherRequest} << 0.0;
    }
    void theVerdictNamesWhatCameBack()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QList<double>, lateMs);
        QFETCH(Verdict, verdict);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(double, quickestLateMs);
        FakeLinkRig rig;
        qsizetype read = 0;
        double lastSent = 0;
        rig.port->responder = [&](FakeLinkPort& port, const QByteArray&) {
            lastSent = rig.clock.elapsed();
            const double delay = (AnswerLateness::WireMs + lateMs.value(read)) / 10;
            if (const QByteArray reply = replies.value(read++); !reply.isEmpty())
                QMetaObject::invokeMethod(
                    &port,
                    [&rig, &port, reply, delay] {
                        rig.clock.advance(delay);
                        port.receive(reply);
                    },
                    Qt::QueuedConnection);
        };
        std::optional<PortCheck::Result> result;
        PortCheck check(rig.link, {});
        connect(&check, &PortCheck::finished, this,
                [&](const PortCheck::Result& r) { result = r; });
        check.start();
        QVERIFY(pumpUntil(rig.clock, [&] { return result.has_value(); }));

        QCOMPARE(result->verdict, verdict);
        QCOMPARE(rig.port->written, sent); // reads, never a write
        QVERIFY(!result->answered() || qAbs(result->lateMs() - quickestLateMs) < 1e-3);
        QCOMPARE(result->firstStrayByte(), verdict == Verdict::Stray ? "5A" : "");
        // The line stayed quiet for the settling pause before anything else could use it.
        QVERIFY(!rig.link.isBusy());
        QVERIFY(rig.clock.elapsed() - lastSent >= SelectorLink::SettlingPauseHundredths);
    }

    // Through the program's serial code on a pseudo-terminal opened for the check: the virtual
    // selector, behind an adapter that holds answers back 16 ms, with noise before its answers,
    // or behind a line that echoes; and a line that only echoes, with nobody behind it (a
    // silent one is the command's test).
    void theCheckSaysWhatIsOnTheLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("selector") << "selector" << Verdict::Answers;
        QTest::newRow("16 ms adapter") << "slow" << Verdict::AnswersSlowly;
        QTest::newRow("noise") << "noise" << Verdict::Stray;
        QTest::newRow("echo") << "echo" << Verdict::Answers;
        QTest::newRow("only echo") << "loopback" << Verdict::Echo;
    }
    void theCheckSaysWhatIsOnTheLine()
    {
        QFETCH(QString, line);
        QFETCH(Verdict, verdict);
        selectorsim::SimulatorOptions options;
        if (line == "slow")
            options.adapterLatency = 16ms;
        options.echo = line == "echo";
        options.loopback = line == "loopback";
        selectorsim::SelectorSimulator simulator(options);
        QVERIFY(simulator.start());
        if (line == "noise")
            simulator.queueFault(selectorsim::Fault::NoiseBytes, PortCheck::Attempts);
        const auto memory = simulator.memory();
        const QString device = QString::fromStdString(simulator.devicePath());

        SelectorLink link(std::make_unique<SerialLinkPort>(), clock);
        PortCheck check(link, device);
        std::optional<PortCheck::Result> result;
        connect(&check, &PortCheck::finished, this,
                [&](const PortCheck::Result& r) { result = r; });
        check.start();
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 15000);
        QCOMPARE(result->verdict, verdict);
        QCOMPARE(result->firstStrayByte(), verdict == Verdict::Stray ? "5A" : "");
        QVERIFY(!link.isPortOpen());
        // Only reads went to the selector, and it holds what it held.
        QCOMPARE(simulator.memory(), memory);
        QCOMPARE(size_t(simulator.countReceived(LinkCommands::ReadLead)),
                 simulator.receivedFrames().size());
    }
};

QTEST_GUILESS_MAIN(PortCheckTest)
#include "PortCheckTest.moc"
