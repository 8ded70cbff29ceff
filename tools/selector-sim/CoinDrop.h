// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <random>

namespace selectorsim {

// One coin through the selector while it teaches or calibrates, and the ten-byte report the
// selector sends for it: code, A, B, C, checksum, spare, X, Y, dH, checksum. A report can be
// spoilt on demand by a wrong checksum in either group.
struct CoinDrop
{
    static constexpr std::uint8_t NormalCode = 0x90;
    static constexpr std::uint8_t SpeedStrangeCode = 0x92; // the coin moved abnormally fast or slow
    static constexpr int KindCount = 12;
    using Report = std::array<std::uint8_t, 10>;

    std::uint8_t code = NormalCode;
    std::uint8_t a = 0; // AB = A * 256 + B, the main measurement; A is below 128 on a good coin
    std::uint8_t b = 0;
    std::uint8_t c = 0;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    std::uint8_t dH = 0;
    bool badFirstChecksum = false;
    bool badSecondChecksum = false;

    Report report() const;

    // A coin of kind 1..12 (out of range: 1) measured with a realistic spread. Its means sit
    // where teaching gives back coin `kind`'s references of the initial memory.
    static CoinDrop ofKind(int kind, std::mt19937& random);
    // The reference coin of a calibration, measured with a realistic spread by a selector that
    // passes calibration: AB about 7200 (high byte 28), X about 107, dH about 69 (BM 70).
    static CoinDrop reference(std::mt19937& random);
};

} // namespace selectorsim
