// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace selectorsim {

// The receive side of a USB-serial adapter chip between the selector's line and the PC: bytes
// that have crossed the line wait in the chip until its latency timer runs out or a packet's
// worth waits, then go to the PC together as one packet. The timer starts when a byte enters
// an empty buffer and restarts at each packet sent; a byte that arrives just as it runs out
// waits for the next packet. No I/O: time is passed in.
class AdapterChip
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Data bytes in one USB packet (the other two carry the chip's status).
    static constexpr std::size_t PacketBytes = 62;

    explicit AdapterChip(std::chrono::nanoseconds latency);

    // `bytes` crossed the line at `arrived`, after anything pushed before.
    void push(const std::vector<std::uint8_t>& bytes, TimePoint arrived);
    // Removes and returns the bytes of every packet sent by `now`, in line order.
    std::vector<std::uint8_t> takeDue(TimePoint now);
    // When the next packet goes; nothing while the chip is empty.
    std::optional<TimePoint> nextDeadline() const;
    // When the last packet takeDue handed out was sent.
    TimePoint lastTakenDue() const { return m_lastTakenDue; }
    void clear();

private:
    struct Packet
    {
        std::vector<std::uint8_t> bytes;
        TimePoint sent;
    };

    // Sends what waits as a packet at `at`; the timer restarts there.
    void sendPacket(std::size_t count, TimePoint at);
    // Sends what waits if the timer ran out by `now`.
    void expire(TimePoint now);

    std::chrono::nanoseconds m_latency;
    std::vector<std::uint8_t> m_buffer;
    TimePoint m_timerStart{};
    std::vector<Packet> m_sent; // packets sent, not yet taken
    TimePoint m_lastTakenDue{};
};

} // namespace selectorsim
