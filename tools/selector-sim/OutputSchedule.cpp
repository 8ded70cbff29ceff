// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputSchedule.h"

#include <algorithm>
#include <utility>

namespace selectorsim {

OutputSchedule::OutputSchedule(std::chrono::nanoseconds bytePeriod) : m_bytePeriod(bytePeriod) {}

void OutputSchedule::add(std::vector<std::uint8_t> bytes, TimePoint earliestStart)
{
    if (!bytes.empty())
        m_waiting.push_back({std::move(bytes), earliestStart});
}

std::size_t OutputSchedule::nextWaiting() const
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < m_waiting.size(); ++i) {
        if (m_waiting[i].start < m_waiting[best].start)
            best = i;
    }
    return best;
}

OutputSchedule::TimePoint OutputSchedule::startOf(const Transmission& waiting) const
{
    return std::max(waiting.start, m_lineFreeAt);
}

OutputSchedule::TimePoint OutputSchedule::byteDueAt(const Transmission& transmission,
                                                    std::size_t index) const
{
    // A byte reaches the far end only once all its bits have crossed the line.
    return transmission.start + m_bytePeriod * static_cast<std::int64_t>(index + 1);
}

std::vector<std::uint8_t> OutputSchedule::takeDue(TimePoint now)
{
    std::vector<std::uint8_t> due;
    for (;;) {
        if (!m_current) {
            if (m_waiting.empty())
                break;
            const std::size_t next = nextWaiting();
            const TimePoint start = startOf(m_waiting[next]);
            if (start > now)
                break;
            m_current = std::move(m_waiting[next]);
            m_current->start = start;
            m_waiting.erase(m_waiting.begin() + static_cast<std::ptrdiff_t>(next));
        }
        Transmission& current = *m_current;
        if (byteDueAt(current, current.sent) > now)
            break;
        m_lastTakenDue = byteDueAt(current, current.sent);
        due.push_back(current.bytes[current.sent]);
        if (++current.sent == current.bytes.size()) {
            m_lineFreeAt = byteDueAt(current, current.sent - 1);
            m_current.reset();
        }
    }
    return due;
}

std::optional<OutputSchedule::TimePoint> OutputSchedule::nextDeadline() const
{
    if (m_current)
        return byteDueAt(*m_current, m_current->sent);
    if (m_waiting.empty())
        return std::nullopt;
    return startOf(m_waiting[nextWaiting()]);
}

std::optional<OutputSchedule::TimePoint> OutputSchedule::transmissionEnd() const
{
    if (m_current)
        return byteDueAt(*m_current, m_current->bytes.size() - 1);
    if (m_waiting.empty())
        return std::nullopt;
    const Transmission& next = m_waiting[nextWaiting()];
    return startOf(next) + m_bytePeriod * static_cast<std::int64_t>(next.bytes.size());
}

void OutputSchedule::clear()
{
    m_waiting.clear();
    m_current.reset();
}

} // namespace selectorsim
