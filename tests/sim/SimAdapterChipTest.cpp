// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterChip.h"

#include <QTest>

#include <vector>

using selectorsim::AdapterChip;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::nanoseconds Latency = 16ms;

struct Arrival
{
    std::size_t count;
    std::chrono::nanoseconds at;
};

struct Packet
{
    std::size_t size;
    std::chrono::nanoseconds at;
    bool operator==(const Packet&) const = default;
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Arrival>)
Q_DECLARE_METATYPE(std::vector<Packet>)

class SimAdapterChipTest : public QObject
{
    Q_OBJECT
private:
    const AdapterChip::TimePoint m_t0 = AdapterChip::TimePoint{} + 1h;

    // Feeds the arrivals in, taking each packet at its deadline as the worker does; numbers
    // the bytes so that a lost or repeated one shows.
    std::vector<Packet> play(const std::vector<Arrival>& arrivals, std::uint8_t& next) const
    {
        AdapterChip chip(Latency);
        std::vector<Packet> packets;
        const auto takeUntil = [&](std::optional<AdapterChip::TimePoint> limit) {
            for (auto due = chip.nextDeadline(); due && (!limit || *due < *limit);
                 due = chip.nextDeadline()) {
                const std::vector<std::uint8_t> bytes = chip.takeDue(*due);
                packets.push_back({bytes.size(), *due - m_t0});
                if (bytes.empty())
                    return; // a deadline that sends nothing would be met forever
                for (const std::uint8_t byte : bytes)
                    QCOMPARE(byte, next++);
            }
        };
        std::uint8_t pushed = 0;
        for (const Arrival& arrival : arrivals) {
            takeUntil(m_t0 + arrival.at);
            std::vector<std::uint8_t> bytes(arrival.count);
            for (std::uint8_t& byte : bytes)
                byte = pushed++;
            chip.push(bytes, m_t0 + arrival.at);
        }
        takeUntil(std::nullopt);
        return packets;
    }

private slots:
    void holdsBytesUntilTheTimerOrAFullPacket_data()
    {
        QTest::addColumn<std::vector<Arrival>>("arrivals");
        QTest::addColumn<std::vector<Packet>>("expected");

        QTest::newRow("61 bytes wait for the timer")
            << std::vector<Arrival>{{61, 0ms}} << std::vector<Packet>{{61, Latency}};
        QTest::newRow("the 62nd byte sends the packet at once")
            << std::vector<Arrival>{{61, 0ms}, {1, 3ms}} << std::vector<Packet>{{62, 3ms}};
        QTest::newRow("the timer runs from the first byte, not the last")
            << std::vector<Arrival>{{1, 0ms}, {4, Latency - 1ns}}
            << std::vector<Packet>{{5, Latency}};
        QTest::newRow("a byte arriving as the timer runs out waits for the next packet")
            << std::vector<Arrival>{{1, 0ms}, {1, Latency}}
            << std::vector<Packet>{{1, Latency}, {1, 2 * Latency}};
        QTest::newRow("the timer restarts at a full packet")
            << std::vector<Arrival>{{60, 0ms}, {4, 5ms}}
            << std::vector<Packet>{{62, 5ms}, {2, 5ms + Latency}};
        QTest::newRow("an empty chip starts its timer at the next byte")
            << std::vector<Arrival>{{62, 0ms}, {1, 40ms}}
            << std::vector<Packet>{{62, 0ms}, {1, 40ms + Latency}};
        QTest::newRow("a long burst goes out in full packets")
            << std::vector<Arrival>{{125, 0ms}} << std::vector<Packet>{{124, 0ms}, {1, Latency}};
    }
    void holdsBytesUntilTheTimerOrAFullPacket()
    {
        QFETCH(std::vector<Arrival>, arrivals);
        QFETCH(std::vector<Packet>, expected);
        std::uint8_t taken = 0;
        QVERIFY(play(arrivals, taken) == expected);
        std::size_t total = 0;
        for (const Arrival& arrival : arrivals)
            total += arrival.count;
        QCOMPARE(std::size_t{taken}, total);
    }

    void takesNothingBeforeItsTime()
    {
        AdapterChip chip(Latency);
        chip.push({1, 2}, m_t0);
        QVERIFY(chip.takeDue(m_t0 + Latency - 1ns).empty());
        QCOMPARE(chip.takeDue(m_t0 + Latency), (std::vector<std::uint8_t>{1, 2}));
        QVERIFY(!chip.nextDeadline());
    }
};

QTEST_GUILESS_MAIN(SimAdapterChipTest)
#include "SimAdapterChipTest.moc"
