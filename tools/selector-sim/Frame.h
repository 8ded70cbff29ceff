// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace selectorsim {

// One five-byte exchange on the line, the same shape in both directions; byte 4 is the
// low byte of the sum of bytes 0..3.
using Frame = std::array<std::uint8_t, 5>;

constexpr std::uint8_t frameChecksum(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                     std::uint8_t b3)
{
    return static_cast<std::uint8_t>((b0 + b1 + b2 + b3) & 0xFF);
}

constexpr Frame makeFrame(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    return {b0, b1, b2, b3, frameChecksum(b0, b1, b2, b3)};
}

constexpr bool hasValidChecksum(const Frame& frame)
{
    return frame[4] == frameChecksum(frame[0], frame[1], frame[2], frame[3]);
}

} // namespace selectorsim
