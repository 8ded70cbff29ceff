// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterChip.h"

namespace selectorsim {

AdapterChip::AdapterChip(std::chrono::nanoseconds latency, TimePoint firstTick)
    : m_latency(latency), m_lastPacket(firstTick), m_timerStart(firstTick)
{
}

void AdapterChip::push(const std::vector<std::uint8_t>& bytes, TimePoint arrived)
{
    expire(arrived);
    if (m_buffer.empty() && !bytes.empty()) {
        // The status packets sent alone since the last data kept the timer's beat.
        const auto idle = arrived - m_lastPacket;
        m_timerStart =
            idle > idle.zero() ? m_lastPacket + idle / m_latency * m_latency : m_lastPacket;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    while (m_buffer.size() >= PacketBytes)
        sendPacket(PacketBytes, arrived);
}

void AdapterChip::sendPacket(std::size_t count, TimePoint at)
{
    const auto end = m_buffer.begin() + static_cast<std::ptrdiff_t>(count);
    m_sent.push_back({{m_buffer.begin(), end}, at});
    m_buffer.erase(m_buffer.begin(), end);
    m_lastPacket = at;
    m_timerStart = at;
}

void AdapterChip::expire(TimePoint now)
{
    if (!m_buffer.empty() && m_timerStart + m_latency <= now)
        sendPacket(m_buffer.size(), m_timerStart + m_latency);
}

std::vector<std::uint8_t> AdapterChip::takeDue(TimePoint now)
{
    expire(now);
    std::vector<std::uint8_t> due;
    auto packet = m_sent.begin();
    for (; packet != m_sent.end() && packet->sent <= now; ++packet) {
        due.insert(due.end(), packet->bytes.begin(), packet->bytes.end());
        m_lastTakenDue = packet->sent;
    }
    m_sent.erase(m_sent.begin(), packet);
    return due;
}

std::optional<AdapterChip::TimePoint> AdapterChip::nextDeadline() const
{
    if (!m_sent.empty())
        return m_sent.front().sent;
    if (m_buffer.empty())
        return std::nullopt;
    return m_timerStart + m_latency;
}

void AdapterChip::clear()
{
    m_buffer.clear();
    m_sent.clear();
}

} // namespace selectorsim
