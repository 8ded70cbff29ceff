// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>

namespace selectorsim {

class SelectorSimulator;

// The event messages a selector sends on its own while it works: a code from 0x91 to 0x96 or
// 0xAA, three value bytes and a checksum. For the demo, coins that pass through in normal
// operation are reported as a selector would: the sensor times (AA), the drop time (95) and
// the money (94), each message on its own, Spacing apart.
//
// Belongs to one thread (the console's); construct after the simulator, destroy before it.
class SelectorEvents
{
public:
    static constexpr std::chrono::milliseconds Spacing{100};

    // Nothing for a code that is not an event.
    static std::optional<Frame> message(std::uint8_t code, std::uint8_t b1, std::uint8_t b2,
                                        std::uint8_t b3);

    explicit SelectorEvents(SelectorSimulator& simulator);

    // `count` coins of kind 1..12 (out of range: 1), after the messages already on their way.
    void coinsPassed(int count, int kind);

private:
    using Clock = std::chrono::steady_clock;

    SelectorSimulator& m_simulator;
    std::mt19937 m_random; // default seed: the same values in every run
    std::uint8_t m_coinCount = 0;
    Clock::time_point m_lineFreeAt{};
};

} // namespace selectorsim
