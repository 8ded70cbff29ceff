// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterChip.h"

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
        AdapterChip chip(Latency);
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

        QTest::newRow("61 bytes wait for the timer")
            << Timeline{{61, 0ms}} << Timeline{{61, Latency}};
        QTest::newRow("the 62nd byte sends the packet at once")
            << Timeline{{61, 0ms}, {1, 3ms}} << Timeline{{62, 3ms}};
        QTest::newRow("the timer runs from the first byte, not the last")
            << Timeline{{1, 0ms}, {4, Latency - 1ns}} << Timeline{{5, Latency}};
        QTest::newRow("a byte arriving as the timer runs out waits for the next packet")
            << Timeline{{1, 0ms}, {1, Latency}} << Timeline{{1, Latency}, {1, 2 * Latency}};
        QTest::newRow("the timer restarts at a full packet")
            << Timeline{{60, 0ms}, {4, 5ms}} << Timeline{{62, 5ms}, {2, 5ms + Latency}};
        QTest::newRow("an empty chip starts its timer at the next byte")
            << Timeline{{62, 0ms}, {1, 40ms}} << Timeline{{62, 0ms}, {1, 40ms + Latency}};
        QTest::newRow("a long burst goes out in full packets")
            << Timeline{{125, 0ms}} << Timeline{{124, 0ms}, {1, Latency}};
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
