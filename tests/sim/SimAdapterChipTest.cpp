// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterChip.h"
#include "SelectorSimulator.h"

#include <QTest>

#include <utility>
#include <vector>

using selectorsim::AdapterChip;
using namespace std::chrono_literals;

// Bytes and when: that many crossed the line, or went to the PC as one packet.
using Timeline = std::vector<std::pair<std::size_t, std::chrono::nanoseconds>>;
Q_DECLARE_METATYPE(Timeline)

class SimAdapterChipTest : public QObject
{
    Q_OBJECT
private:
    static constexpr std::chrono::nanoseconds Latency = 16ms;
    const AdapterChip::TimePoint m_t0 = AdapterChip::TimePoint{} + 1h;

    // Feeds the arrivals in, taking each packet at its deadline as the worker does, and
    // nothing a nanosecond before it.
    Timeline play(const Timeline& arrivals) const
    {
        AdapterChip chip(Latency, m_t0); // it ticks at 0, Latency, 2 Latency, ...
        Timeline packets;
        const auto takeUntil = [&](std::optional<AdapterChip::TimePoint> limit) {
            for (auto due = chip.nextDeadline(); due && (!limit || *due < *limit);
                 due = chip.nextDeadline()) {
                if (!chip.takeDue(*due - 1ns).empty())
                    packets.push_back({0, *due - 1ns - m_t0});
                packets.push_back({chip.takeDue(*due).size(), *due - m_t0});
                if (packets.back().first == 0)
                    return; // a deadline that sends nothing would be met forever
            }
        };
        for (const auto& [count, at] : arrivals) {
            takeUntil(m_t0 + at);
            chip.push(std::vector<std::uint8_t>(count), m_t0 + at);
        }
        takeUntil(std::nullopt);
        return packets;
    }

private slots:
    void holdsBytesUntilTheTimerOrAFullPacket_data()
    {
        QTest::addColumn<Timeline>("arrivals");
        QTest::addColumn<Timeline>("packets");
        constexpr auto Exchange = 10 * selectorsim::SelectorSimulator::BytePeriod;

        QTest::newRow("a byte 1 ns before a tick goes with it")
            << Timeline{{1, Latency - 1ns}} << Timeline{{1, Latency}};
        QTest::newRow("a byte at a tick waits a whole period")
            << Timeline{{1, Latency}} << Timeline{{1, 2 * Latency}};
        QTest::newRow("a lone answer early in the period waits for its end")
            << Timeline{{5, 1ms}} << Timeline{{5, Latency}};
        QTest::newRow("an idle chip keeps its beat")
            << Timeline{{5, 10 * Latency + 1ms}} << Timeline{{5, 11 * Latency}};
        QTest::newRow("61 bytes wait for the tick")
            << Timeline{{61, 3ms}} << Timeline{{61, Latency}};
        QTest::newRow("the 62nd byte sends at once and restarts the timer")
            << Timeline{{61, 3ms}, {1, 5ms}, {1, 6ms}} << Timeline{{62, 5ms}, {1, 5ms + Latency}};
        QTest::newRow("a long burst goes out in full packets")
            << Timeline{{125, 3ms}} << Timeline{{124, 3ms}, {1, 3ms + Latency}};
        // Each request goes as the answer before it reaches the PC, on a tick: every answer
        // then waits for the next one.
        QTest::newRow("back-to-back exchanges lock to the period")
            << Timeline{{5, Exchange}, {5, Latency + Exchange}, {5, 2 * Latency + Exchange}}
            << Timeline{{5, Latency}, {5, 2 * Latency}, {5, 3 * Latency}};
    }
    void holdsBytesUntilTheTimerOrAFullPacket()
    {
        QFETCH(Timeline, arrivals);
        QFETCH(Timeline, packets);
        QVERIFY(play(arrivals) == packets);
    }
};

QTEST_GUILESS_MAIN(SimAdapterChipTest)
#include "SimAdapterChipTest.moc"
