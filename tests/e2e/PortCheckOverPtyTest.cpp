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
using Verdict = PortCheck::Verdict;

class PortCheckOverPtyTest : public QObject
{
    Q_OBJECT

    SystemLinkClock clock;

private slots:
    // Through the program's serial code on a pseudo-terminal opened for the check: the virtual
    // selector, behind a slow adapter, silent or with noise before its answers; and a line
    // that echoes, a far end that gives back the request and answers 10 ms later.
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
        selectorsim::SelectorSimulator simulator({true, line == "slow" ? 40ms : 0ms, 260ms});
        QVERIFY(simulator.start());
        simulator.setSilent(line == "silent");
        if (line == "noise")
            simulator.queueFault(selectorsim::Fault::NoiseBytes, PortCheck::Attempts);
        const auto memory = simulator.memory();
        QString device = QString::fromStdString(simulator.devicePath());

        selectorsim::PseudoTerminal echoing;
        std::optional<QSocketNotifier> request;
        if (line == "echo") {
            QVERIFY(echoing.open());
            device = QString::fromStdString(echoing.slavePath());
            const int end = echoing.masterFd();
            request.emplace(end, QSocketNotifier::Read);
            connect(&*request, &QSocketNotifier::activated, this, [end] {
                char bytes[64];
                const ssize_t count = ::read(end, bytes, sizeof bytes);
                QVERIFY(count > 0 && ::write(end, bytes, size_t(count)) == count);
                QTimer::singleShot(10, [end] {
                    QVERIFY(::write(end, LinkFrame::build(0xE1, 0, 8, 1).toByteArray(), 5) == 5);
                });
            });
        }

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

QTEST_GUILESS_MAIN(PortCheckOverPtyTest)
#include "PortCheckOverPtyTest.moc"
