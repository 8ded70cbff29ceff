// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameAssembler.h"

#include <algorithm>

namespace selectorsim {

namespace {
constexpr std::size_t FrameSize = std::tuple_size_v<Frame>;
// A sender flooding the line cannot make the buffer grow without bound: the oldest bytes go.
constexpr std::size_t MaxPendingBytes = 4096;
} // namespace

FrameAssembler::FrameAssembler(std::chrono::nanoseconds receiveDelay,
                               std::chrono::nanoseconds staleAfter)
    : m_receiveDelay(receiveDelay), m_staleAfter(staleAfter)
{
}

void FrameAssembler::push(const std::uint8_t* bytes, std::size_t count, TimePoint arrival)
{
    for (std::size_t i = 0; i < count; ++i)
        m_bytes.push_back({bytes[i], arrival});
    while (m_bytes.size() > MaxPendingBytes)
        m_bytes.pop_front();
}

FrameAssembler::TimePoint FrameAssembler::frameDueAt() const
{
    return std::max(m_bytes.front().arrival + m_receiveDelay, m_bytes[FrameSize - 1].arrival);
}

std::optional<Frame> FrameAssembler::takeFrame(TimePoint now)
{
    while (m_bytes.size() >= FrameSize && frameDueAt() <= now) {
        Frame frame{};
        for (std::size_t i = 0; i < FrameSize; ++i)
            frame[i] = m_bytes[i].value;
        if (hasValidChecksum(frame)) {
            m_bytes.erase(m_bytes.begin(),
                          m_bytes.begin() + static_cast<std::ptrdiff_t>(FrameSize));
            return frame;
        }
        m_bytes.pop_front();
    }
    while (!m_bytes.empty() && m_bytes.size() < FrameSize &&
           m_bytes.front().arrival + m_staleAfter <= now)
        m_bytes.pop_front();
    return std::nullopt;
}

std::optional<FrameAssembler::TimePoint> FrameAssembler::nextDeadline() const
{
    if (m_bytes.empty())
        return std::nullopt;
    if (m_bytes.size() >= FrameSize)
        return frameDueAt();
    return m_bytes.front().arrival + m_staleAfter;
}

} // namespace selectorsim
