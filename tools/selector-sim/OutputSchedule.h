// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace selectorsim {

// The selector's side of the line: transmissions (a reply, noise, unsolicited bytes) each
// with an earliest start. One transmission goes out at a time and is never interleaved
// with another; among those ready, the earliest start goes first, so a late reply does not
// hold back the replies queued after it. Byte i of a transmission that starts at S is due
// at S + (i + 1) * bytePeriod, when its last bit has crossed the line, and the next
// transmission starts once the last byte is through. A
// byte period of zero sends every ready byte at once. No I/O: time is passed in.
class OutputSchedule
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit OutputSchedule(std::chrono::nanoseconds bytePeriod);

    void add(std::vector<std::uint8_t> bytes, TimePoint earliestStart);
    // Removes and returns every byte due at `now`, in line order.
    std::vector<std::uint8_t> takeDue(TimePoint now);
    // When the next byte falls due; nothing when all is sent.
    std::optional<TimePoint> nextDeadline() const;
    // When the last byte of the transmission under way, or of the next one, falls due.
    std::optional<TimePoint> transmissionEnd() const;
    // When the last byte takeDue handed out was due.
    TimePoint lastTakenDue() const { return m_lastTakenDue; }
    void clear();

private:
    struct Transmission
    {
        std::vector<std::uint8_t> bytes;
        TimePoint start;
        std::size_t sent = 0;
    };

    // Index into m_waiting of the transmission to start next (earliest start, then first
    // added); m_waiting must not be empty.
    std::size_t nextWaiting() const;
    TimePoint startOf(const Transmission& waiting) const;
    // When byte `index` of a started transmission has crossed the line.
    TimePoint byteDueAt(const Transmission& transmission, std::size_t index) const;

    std::chrono::nanoseconds m_bytePeriod;
    std::deque<Transmission> m_waiting;
    std::optional<Transmission> m_current;
    TimePoint m_lineFreeAt{};
    TimePoint m_lastTakenDue{};
};

} // namespace selectorsim
