// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortCheck.h"
#include "FakeLinkRig.h"
#include "FakeSelector.h"
#include "LinkCommands.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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
    // request and answer, or nothing; reads beyond the lists get their last entries. The
    // check times a run of answers by its median exchange. A copy of the request alone is
    // asked about again with other filler bytes.
    void theVerdictNamesWhatCameBack_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies"); // per read; empty: nothing
        QTest::addColumn<QList<double>>("lateMs");      // per read
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<double>("medianLateMs");
        constexpr int Run = PortCheck::RunReads;
        const auto reads = [](int count) { return QList<QByteArray>(count, Request); };
        QTest::newRow("a run just under the limit")
            << QList{Answer} << QList{7.9} << Verdict::Answers << reads(Run) << 7.9;
        QTest::newRow("a run at the limit")
            << QList{Answer} << QList{8.0} << Verdict::AnswersSlowly << reads(Run) << 8.0;
        QTest::newRow("one hiccup in a quick run")
            << QList{Answer} << QList{1.0, 30.0, 1.0} << Verdict::Answers << reads(Run) << 1.0;
        // Behind an adapter the lone first answer may come at once; the run waits for its timer.
        QTest::newRow("a quick first answer, then a slow run")
            << QList{Answer} << QList{0.0, 10.8} << Verdict::AnswersSlowly << reads(Run) << 10.8;
        QTest::newRow("a fragment") << QList<QByteArray>{"\x5A\xA5", {}} << QList{0.0}
                                    << Verdict::Stray << reads(PortCheck::Attempts) << 0.0;
        QTest::newRow("a stray byte, then answers")
            << QList{"\x3C" + Answer, Answer} << QList{0.0, 2.0} << Verdict::Answers
            << reads(1 + Run) << 2.0;
        QTest::newRow("echo and answer")
            << QList{Request + Answer} << QList{3.0} << Verdict::Answers << reads(Run) << 3.0;
        // A selector whose byte 0 is 06 answers the read with the request's own bytes.
        QTest::newRow("an answer like the request")
            << QList{Request, OtherAnswer} << QList{1.0, 2.0} << Verdict::Answers
            << QList{Request} + QList<QByteArray>(Run, OtherRequest) << 2.0;
        QTest::newRow("only the echo") << QList{Request, OtherRequest} << QList{0.0, 0.0}
                                       << Verdict::Echo << QList{Request, OtherRequest} << 0.0;
    }
    void theVerdictNamesWhatCameBack()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QList<double>, lateMs);
        QFETCH(Verdict, verdict);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(double, medianLateMs);
        FakeLinkRig rig;
        qsizetype read = 0;
        double lastSent = 0;
        bool replying = false;
        rig.port->responder = [&](FakeLinkPort& port, const QByteArray&) {
            lastSent = rig.clock.elapsed();
            const double delay = (AnswerLateness::WireMs + lateMs.value(read, lateMs.last())) / 10;
            const QByteArray reply = replies.value(read++, replies.last());
            replying = !reply.isEmpty();
            if (replying)
                QMetaObject::invokeMethod(
                    &port,
                    [&rig, &port, &replying, reply, delay] {
                        replying = false;
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
        // Time stands still while an answer is on its way, so each comes as late as its row says.
        for (int step = 0; step < 20000 && !result; ++step) {
            QCoreApplication::processEvents();
            if (!replying)
                rig.clock.advance(1);
        }
        QVERIFY(result.has_value());

        QCOMPARE(result->verdict, verdict);
        QCOMPARE(rig.port->written, sent); // reads, never a write
        QVERIFY(!result->answered() || qAbs(result->lateMs() - medianLateMs) < 1e-3);
        QCOMPARE(result->firstStrayByte(), verdict == Verdict::Stray ? "5A" : "");
        // The line stayed quiet for the settling pause before anything else could use it.
        QVERIFY(!rig.link.isBusy());
        QVERIFY(rig.clock.elapsed() - lastSent >= SelectorLink::SettlingPauseHundredths);
    }

    // Through the program's serial code on a pseudo-terminal opened for the check: the virtual
    // selector, behind a modelled adapter whose latency timer the system tells, with noise
    // before its answers, or behind a line that echoes; and a line that only echoes, with
    // nobody behind it (a silent one is the command's test).
    void theCheckSaysWhatIsOnTheLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("adapterMs"); // 0: none
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("selector") << "selector" << 0 << Verdict::Answers;
        QTest::newRow("1 ms adapter") << "selector" << 1 << Verdict::Answers;
        QTest::newRow("16 ms adapter") << "selector" << 16 << Verdict::AnswersSlowly;
        QTest::newRow("noise") << "noise" << 0 << Verdict::Stray;
        QTest::newRow("echo") << "echo" << 0 << Verdict::Answers;
        QTest::newRow("only echo") << "loopback" << 0 << Verdict::Echo;
    }
    void theCheckSaysWhatIsOnTheLine()
    {
        QFETCH(QString, line);
        QFETCH(int, adapterMs);
        QFETCH(Verdict, verdict);
        selectorsim::SimulatorOptions options;
        if (adapterMs > 0)
            options.adapterLatency = std::chrono::milliseconds(adapterMs);
        options.echo = line == "echo";
        options.loopback = line == "loopback";
        selectorsim::SelectorSimulator simulator(options);
        QVERIFY(simulator.start());
        if (line == "noise")
            simulator.queueFault(selectorsim::Fault::NoiseBytes, PortCheck::Attempts);
        const auto memory = simulator.memory();
        const QString device = QString::fromStdString(simulator.devicePath());
        QTemporaryDir system; // where the system tells the adapter's timer by the device's name
        if (adapterMs > 0) {
            const QString folder = system.filePath(QFileInfo(device).fileName() + "/device");
            QFile timer(folder + "/latency_timer");
            QVERIFY(QDir().mkpath(folder) && timer.open(QIODevice::WriteOnly));
            timer.write(QByteArray::number(adapterMs) + "\n");
        }

        SelectorLink link(std::make_unique<SerialLinkPort>(), clock);
        PortCheck check(link, device, nullptr, system.path());
        std::optional<PortCheck::Result> result;
        connect(&check, &PortCheck::finished, this,
                [&](const PortCheck::Result& r) { result = r; });
        check.start();
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 15000);
        QCOMPARE(result->verdict, verdict);
        QCOMPARE(result->firstStrayByte(), verdict == Verdict::Stray ? "5A" : "");
        QCOMPARE(result->latencyTimerMs.value_or(0), adapterMs);
        QCOMPARE(result->text().contains(" latency timer: "), adapterMs > 0);
        QVERIFY(!link.isPortOpen());
        // Only reads went to the selector, and it holds what it held.
        QCOMPARE(simulator.memory(), memory);
        QCOMPARE(size_t(simulator.countReceived(LinkCommands::ReadLead)),
                 simulator.receivedFrames().size());
    }
};

QTEST_GUILESS_MAIN(PortCheckTest)
#include "PortCheckTest.moc"
