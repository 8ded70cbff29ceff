// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectorEvents.h"

#include "CoinDrop.h"
#include "SelectorSimulator.h"

#include <algorithm>

namespace selectorsim {

namespace {

constexpr std::uint8_t FirstCode = 0x91;
constexpr std::uint8_t LastCode = 0x96;
constexpr std::uint8_t SensorTimesCode = 0xAA;
constexpr std::uint8_t TimeCode = 0x95;
constexpr std::uint8_t MoneyCode = 0x94;
constexpr int CoinRecordSize = 7;
constexpr int MoneyOffset = 6;
// The drop time counts in tenths of the measurement's AB.
constexpr int DropTimeDivisor = 10;

std::uint8_t low(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint8_t high(int value)
{
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

} // namespace

std::optional<Frame> SelectorEvents::message(std::uint8_t code, std::uint8_t b1, std::uint8_t b2,
                                             std::uint8_t b3)
{
    if ((code < FirstCode || code > LastCode) && code != SensorTimesCode)
        return std::nullopt;
    return makeFrame(code, b1, b2, b3);
}

SelectorEvents::SelectorEvents(SelectorSimulator& simulator) : m_simulator(simulator) {}

void SelectorEvents::coinsPassed(int count, int kind)
{
    const int coin = kind >= 1 && kind <= CoinDrop::KindCount ? kind : 1;
    const auto channel = static_cast<std::uint8_t>(coin);
    Clock::time_point start = std::max(Clock::now(), m_lineFreeAt);
    auto send = [this, &start](const Frame& frame) {
        m_simulator.sendBytesAt({frame.begin(), frame.end()}, start);
        start += Spacing;
    };
    for (int i = 0; i < count; ++i) {
        // The sensors see what a teaching run would measure for this kind of coin.
        const CoinDrop drop = CoinDrop::ofKind(coin, m_random);
        const int dropTime = (256 * drop.a + drop.b) / DropTimeDivisor;
        const int money = m_simulator.memoryAt(CoinRecordSize * (coin - 1) + MoneyOffset);
        ++m_coinCount;
        send(makeFrame(SensorTimesCode, m_coinCount, drop.x, drop.c));
        send(makeFrame(TimeCode, low(dropTime), high(dropTime), channel));
        send(makeFrame(MoneyCode, low(money), high(money), channel));
    }
    m_lineFreeAt = start;
}

} // namespace selectorsim
