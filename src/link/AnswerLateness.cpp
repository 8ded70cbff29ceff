// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnswerLateness.h"

#include "LinkClock.h"

#include <algorithm>

void AnswerLateness::record(double sentAt, double repliedAt)
{
    const double lateMs = LinkClock::elapsedMs(sentAt, repliedAt) - WireMs;
    if (m_samples.size() < MaxSamples) {
        m_samples.push_back(lateMs);
        return;
    }
    m_samples[m_next] = lateMs;
    m_next = (m_next + 1) % MaxSamples;
}

void AnswerLateness::reset()
{
    m_samples.clear();
    m_next = 0;
}

std::optional<double> AnswerLateness::medianMs() const
{
    if (m_samples.empty())
        return std::nullopt;
    std::vector<double> sorted = m_samples;
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    if (sorted.size() % 2 != 0)
        return *middle;
    return (*middle + *std::max_element(sorted.begin(), middle)) / 2;
}

bool AnswerLateness::isSlow() const
{
    const std::optional<double> median = medianMs();
    return median && *median >= SlowMs;
}

QString AnswerLateness::hint(double medianMs)
{
    return QStringLiteral("answers came %1 ms late: the adapter holds them back (its latency "
                          "timer); see 'A slow adapter' in the README")
        .arg(qRound(medianMs));
}
