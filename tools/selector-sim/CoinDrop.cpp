// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDrop.h"

#include "Frame.h"
#include "SelectorDevice.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace selectorsim {

namespace {

// Measurements scatter a little from coin to coin: AB by about 0.4 %, the bytes by one step.
constexpr double AbRelativeSpread = 0.004;
constexpr double ByteSpread = 1.0;
constexpr int MaxAb = 32767;
constexpr int MaxByte = 255;
// C is measured as well, but nothing on the PC side uses it.
constexpr int TypicalC = 40;
// The reference coin's means on a well-made selector.
constexpr int ReferenceAb = 7200;
constexpr int ReferenceX = 107;
constexpr int ReferenceY = 128;
constexpr int ReferenceDH = 69;

int scattered(double mean, double deviation, int max, std::mt19937& random)
{
    std::normal_distribution<double> distribution(mean, deviation);
    return std::clamp(static_cast<int>(std::lround(distribution(random))), 0, max);
}

std::uint8_t byte(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

// A coin whose measurements scatter around the given means.
CoinDrop measured(int ab, int x, int y, int dH, std::mt19937& random)
{
    CoinDrop drop;
    const int measuredAb = scattered(ab, AbRelativeSpread * ab, MaxAb, random);
    drop.a = byte(measuredAb >> 8);
    drop.b = byte(measuredAb);
    drop.c = byte(scattered(TypicalC, ByteSpread, MaxByte, random));
    drop.x = byte(scattered(x, ByteSpread, MaxByte, random));
    drop.y = byte(scattered(y, ByteSpread, MaxByte, random));
    drop.dH = byte(scattered(dH, ByteSpread, MaxByte, random));
    return drop;
}

} // namespace

CoinDrop::Report CoinDrop::report() const
{
    const Frame first = makeFrame(code, a, b, c);
    const Frame second = makeFrame(0, x, y, dH);
    Report bytes{};
    std::copy(first.begin(), first.end(), bytes.begin());
    std::copy(second.begin(), second.end(), bytes.begin() + first.size());
    if (badFirstChecksum)
        ++bytes[4];
    if (badSecondChecksum)
        ++bytes[9];
    return bytes;
}

CoinDrop CoinDrop::ofKind(int kind, std::mt19937& random)
{
    const int coin = kind >= 1 && kind <= KindCount ? kind : 1;
    const Memory memory = SelectorDevice::initialMemory();
    auto at = [&memory](int address) { return int{memory[static_cast<std::size_t>(address)]}; };
    const int record = 7 * (coin - 1);
    const int ab = at(record) + 256 * at(record + 1);
    // Teaching puts Y and dH references one above the mean.
    const int y = at(96 + 2 * (coin - 1)) - 1;
    const int dH = at(97 + 2 * (coin - 1)) - 1;
    return measured(ab, at(record + 5), y, dH, random);
}

CoinDrop CoinDrop::reference(std::mt19937& random)
{
    return measured(ReferenceAb, ReferenceX, ReferenceY, ReferenceDH, random);
}

} // namespace selectorsim
