// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <array>
#include <cstdint>
#include <optional>

namespace selectorsim {

inline constexpr int MemorySize = 189; // addresses 0..188
using Memory = std::array<std::uint8_t, MemorySize>;

// The selector's parameter memory and its answer to each request frame. No I/O and no
// timing: the simulator decides when (and whether) an answer goes out.
//
// Initial memory, a selector configured for twelve coins (c = 1..12):
//   coin record at 7(c-1): reference 2000 + 500c as low/high byte, band 10, 170,
//     flags 10 (tolerance A 10; coins 11 and 12 also disabled: 138), X reference 60 + 5c,
//     money 1, 2, 5, 10, 20, 50 in each bank
//   84..95: output mode 129, serial number 42, prices and factors 1, signal time 50,
//     timer scales 1, hold time 10
//   96 + 2(c-1), 97 + 2(c-1): Y reference 100 + 3c, dH reference 120 + 2c
//   120..127: both calibration records 4, 52, 107, 61; 128: separator 0
//   per-coin tables: 129.. 85, 141.. 153, 153.. 20 + c, 165.. 40 + c, 177.. 16c
class SelectorDevice
{
public:
    SelectorDevice();

    static Memory initialMemory();

    const Memory& memory() const { return m_memory; }
    void setMemory(const Memory& bytes) { m_memory = bytes; }
    // Addresses outside 0..188 read as 0; writes there are ignored.
    std::uint8_t memoryAt(int address) const;
    void setMemoryAt(int address, std::uint8_t value);

    // Carries out a request with a valid checksum (a write stores its byte) and gives the
    // reply frame, or nothing for requests that get no reply.
    std::optional<Frame> answer(const Frame& request);
    // The reply answer() would give, without carrying the request out.
    std::optional<Frame> replyTo(const Frame& request) const;

private:
    Memory m_memory;
};

} // namespace selectorsim
