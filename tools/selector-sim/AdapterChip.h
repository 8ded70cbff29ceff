// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace selectorsim {

// The receive side of a USB-serial adapter chip between the selector's line and the PC. The
// chip's latency timer measures the time since it last sent the PC a packet; when it runs out
// the chip sends what it holds, or its two status bytes alone when it holds nothing (no data
// for the PC: here only a tick that restarts the timer). A packet's worth of waiting bytes
// goes at once and restarts the timer too. So an idle chip ticks every period, a lone answer
// waits anywhere from nothing to a full period, and back-to-back exchanges lock to the period.
// A byte that arrives just as the timer runs out waits for the next packet. No I/O: time is
// passed in.
class AdapterChip
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Data bytes in one USB packet (the other two carry the chip's status).
    static constexpr std::size_t PacketBytes = 62;

    // The chip ticks at `firstTick` and every `latency` after, until it sends data.
    AdapterChip(std::chrono::nanoseconds latency, TimePoint firstTick);

    // `bytes` crossed the line at `arrived`, after anything pushed before.
    void push(const std::vector<std::uint8_t>& bytes, TimePoint arrived);
    // Removes and returns the bytes of every packet sent by `now`, in line order.
    std::vector<std::uint8_t> takeDue(TimePoint now);
    // When the next packet with data goes; nothing while the chip holds none.
    std::optional<TimePoint> nextDeadline() const;
    // When the last packet takeDue handed out was sent.
    TimePoint lastTakenDue() const { return m_lastTakenDue; }
    // Drops every byte held; the timer runs on.
    void clear();

private:
    struct Packet
    {
        std::vector<std::uint8_t> bytes;
        TimePoint sent;
    };

    // Sends `count` waiting bytes as a packet at `at`; the timer restarts there.
    void sendPacket(std::size_t count, TimePoint at);
    // Sends what waits if the timer ran out by `now`.
    void expire(TimePoint now);

    std::chrono::nanoseconds m_latency;
    std::vector<std::uint8_t> m_buffer;
    TimePoint m_lastPacket;     // the last packet with data; the idle chip ticks on from it
    TimePoint m_timerStart;     // the tick (or packet) the waiting bytes' timer runs from
    std::vector<Packet> m_sent; // packets sent, not yet taken
    TimePoint m_lastTakenDue{};
};

} // namespace selectorsim
