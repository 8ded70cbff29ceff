// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectorDevice.h"

#include <cstddef>

namespace selectorsim {

namespace {

using Head = std::array<std::uint8_t, 4>; // the four bytes before the checksum

constexpr std::uint8_t ReadLead = 0xE1;
constexpr std::uint8_t WriteLead = 0xE2;
constexpr std::uint8_t WriteMarker = 0x55;
constexpr Head TeachStart{0xE3, 0x01, 0x02, 0x03};
constexpr Head CalibrationStart{0x83, 0x01, 0x02, 0x03};
constexpr Head IdQuery{0x9A, 0x01, 0x02, 0x03};
constexpr Head IdAnswer{0x9A, 'S', 'I', 'M'};
constexpr Head ChpQuery{0x43, 0x68, 0x50, 0x74};
constexpr Head ChpAnswer{0x00, 0x10, 0x27, 0xC3};
constexpr Head CprQuery{0x43, 0x70, 0x52, 0x74};
constexpr Head CprAnswer{0x07, 0x27, 0xC7, 0x0F};

constexpr bool startsWith(const Frame& frame, const Head& head)
{
    return frame[0] == head[0] && frame[1] == head[1] && frame[2] == head[2] && frame[3] == head[3];
}

constexpr Frame frameOf(const Head& head)
{
    return makeFrame(head[0], head[1], head[2], head[3]);
}

// Reads come in two variants; the selector answers both the same way.
constexpr bool isReadVariant(std::uint8_t b2, std::uint8_t b3)
{
    return (b2 == 0x08 && b3 == 0x06) || (b2 == 0x55 && b3 == 0xAA);
}

constexpr std::uint8_t byte(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

SelectorDevice::SelectorDevice() : m_memory(initialMemory()) {}

Memory SelectorDevice::initialMemory()
{
    constexpr std::array<int, 6> moneyPerBank{1, 2, 5, 10, 20, 50};
    Memory memory{};
    auto at = [&memory](int address) -> std::uint8_t& {
        return memory[static_cast<std::size_t>(address)];
    };
    for (int c = 1; c <= 12; ++c) {
        const int record = 7 * (c - 1);
        const int reference = 2000 + 500 * c;
        at(record + 0) = byte(reference);
        at(record + 1) = byte(reference >> 8);
        at(record + 2) = 10;
        at(record + 3) = 170;
        at(record + 4) = c <= 10 ? 10 : 138;
        at(record + 5) = byte(60 + 5 * c);
        at(record + 6) = byte(moneyPerBank[static_cast<std::size_t>((c - 1) % 6)]);
        at(96 + 2 * (c - 1)) = byte(100 + 3 * c);
        at(97 + 2 * (c - 1)) = byte(120 + 2 * c);
        at(128 + c) = 85;
        at(140 + c) = 153;
        at(152 + c) = byte(20 + c);
        at(164 + c) = byte(40 + c);
        at(176 + c) = byte(16 * c);
    }
    constexpr std::array<std::uint8_t, 12> settings{129, 42, 1, 1, 1, 1, 1, 1, 50, 1, 1, 10};
    for (std::size_t i = 0; i < settings.size(); ++i)
        memory[84 + i] = settings[i];
    // The first record holds the fixed bytes every programming writes; the second one a record
    // calibration accepts (AB high byte 28, BM within 65..105), so programming from coin data works
    // on a fresh virtual selector.
    constexpr std::array<std::uint8_t, 4> fixedRecord{4, 52, 107, 61};
    constexpr std::array<std::uint8_t, 4> calibratedRecord{0x10, 0x1C, 0x60, 80};
    for (std::size_t i = 0; i < fixedRecord.size(); ++i) {
        memory[120 + i] = fixedRecord[i];
        memory[124 + i] = calibratedRecord[i];
    }
    return memory;
}

std::uint8_t SelectorDevice::memoryAt(int address) const
{
    if (address < 0 || address >= MemorySize)
        return 0;
    return m_memory[static_cast<std::size_t>(address)];
}

void SelectorDevice::setMemoryAt(int address, std::uint8_t value)
{
    if (address >= 0 && address < MemorySize)
        m_memory[static_cast<std::size_t>(address)] = value;
}

std::optional<Frame> SelectorDevice::answer(const Frame& request)
{
    const std::optional<Frame> reply = replyTo(request);
    if (reply && request[0] == WriteLead)
        setMemoryAt(request[1], request[3]);
    return reply;
}

std::optional<Frame> SelectorDevice::replyTo(const Frame& request) const
{
    const std::uint8_t lead = request[0];
    const int address = request[1];
    if (lead == ReadLead && isReadVariant(request[2], request[3])) {
        if (address >= MemorySize)
            return std::nullopt;
        return makeFrame(lead, request[1], request[2], memoryAt(address));
    }
    if (lead == WriteLead && request[2] == WriteMarker) {
        if (address >= MemorySize)
            return std::nullopt;
        return makeFrame(lead, request[1], request[2], request[3]);
    }
    if (startsWith(request, TeachStart) || startsWith(request, CalibrationStart))
        return request;
    if (startsWith(request, IdQuery))
        return frameOf(IdAnswer);
    if (startsWith(request, ChpQuery))
        return frameOf(ChpAnswer);
    if (startsWith(request, CprQuery))
        return frameOf(CprAnswer);
    // End of block (89), stop (84) and anything unknown are taken silently.
    return std::nullopt;
}

} // namespace selectorsim
