// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace selectorsim {

// Cuts the incoming byte stream into request frames. A frame counts as received only
// `receiveDelay` after its first byte arrived (a real selector hears the whole frame on the
// wire first). Bytes that do not start a frame with a valid checksum are skipped one at a
// time, and a partial frame left alone longer than `staleAfter` is dropped, so the stream
// resynchronises after noise or a truncated request. No I/O: time is passed in.
class FrameAssembler
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    FrameAssembler(std::chrono::nanoseconds receiveDelay, std::chrono::nanoseconds staleAfter);

    void push(const std::uint8_t* bytes, std::size_t count, TimePoint arrival);
    // The next frame that is due at `now`, if any.
    std::optional<Frame> takeFrame(TimePoint now);
    // When takeFrame() has something to do next: a frame falls due or a partial goes stale.
    std::optional<TimePoint> nextDeadline() const;

private:
    struct Byte
    {
        std::uint8_t value;
        TimePoint arrival;
    };

    TimePoint frameDueAt() const;

    std::chrono::nanoseconds m_receiveDelay;
    std::chrono::nanoseconds m_staleAfter;
    std::deque<Byte> m_bytes;
};

} // namespace selectorsim
