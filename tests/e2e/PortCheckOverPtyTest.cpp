// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkCommands.h"
#include "PortCheck.h"
#include "PseudoTerminal.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <optional>

#include <unistd.h>

using namespace std::chrono_literals;
using selectorsim::Fault;
using Verdict = PortCheck::Verdict;

namespace {
constexpr int Patience = 15000; // ms; generous, the machine may be busy
} // namespace

// The check over a real pseudo-terminal through the program's serial code, on a port opened
// for it: the virtual selector, behind a slow adapter, silent or with noise on its line; and a
// line that echoes, modelled by a far end that gives back the request and answers 10 ms later.
class PortCheckOverPtyTest : public QObject
{
    Q_OBJECT

    SystemLinkClock clock;

private slots:
    void theCheckSaysWhatIsOnTheLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("selector") << "selector" << Verdict::Answers;
        QTest::newRow("slow adapter") << "slow" << Verdict::AnswersSlowly;
        QTest::newRow("silent") << "silent" << Verdict::Silent;
        QTest::newRow("noise") << "noise" << Verdict::Stray;
        QTest::newRow("echo") << "echo" << Verdict::Echo;
    }
    void theCheckSaysWhatIsOnTheLine()
    {
        QFETCH(QString, line);
        QFETCH(Verdict, verdict);
        selectorsim::SimulatorOptions options;
        if (line == "slow")
            options.replyLatency = 40ms;
        selectorsim::SelectorSimulator simulator(options);
        QVERIFY(simulator.start());
        simulator.setSilent(line == "silent");
        if (line == "noise")
            simulator.queueFault(Fault::NoiseBytes, PortCheck::Attempts);
        const auto memory = simulator.memory();
        QString device = QString::fromStdString(simulator.devicePath());

        selectorsim::PseudoTerminal echoing;
        std::optional<QSocketNotifier> request;
        if (line == "echo") {
            QVERIFY(echoing.open());
            device = QString::fromStdString(echoing.slavePath());
            request.emplace(echoing.masterFd(), QSocketNotifier::Read);
            connect(&*request, &QSocketNotifier::activated, this, [&echoing] {
                char bytes[64];
                const ssize_t count = ::read(echoing.masterFd(), bytes, sizeof bytes);
                QVERIFY(count > 0 && ::write(echoing.masterFd(), bytes, size_t(count)) == count);
                QTimer::singleShot(10, [&echoing] {
                    const QByteArray answer = LinkFrame::build(0xE1, 0, 8, 1).toByteArray();
                    QVERIFY(::write(echoing.masterFd(), answer.data(), 5) == 5);
                });
            });
        }

        SelectorLink link(std::make_unique<SerialLinkPort>(), clock);
        PortCheck check(link, device);
        std::optional<PortCheck::Result> result;
        connect(&check, &PortCheck::finished, this,
                [&result](const PortCheck::Result& r) { result = r; });
        check.start();
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), Patience);
        QCOMPARE(result->verdict, verdict);
        QVERIFY(!link.isPortOpen());
        // Only reads went to the selector, and it holds what it held.
        QCOMPARE(simulator.memory(), memory);
        QCOMPARE(size_t(simulator.countReceived(LinkCommands::ReadLead)),
                 simulator.receivedFrames().size());
        if (verdict == Verdict::Stray)
            QCOMPARE(result->firstStrayByte(), "5A");
    }
};

QTEST_GUILESS_MAIN(PortCheckOverPtyTest)
#include "PortCheckOverPtyTest.moc"
