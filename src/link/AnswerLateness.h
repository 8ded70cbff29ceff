// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkFrame.h"

#include <QString>

#include <optional>
#include <vector>

// How late the selector's answers come beyond the time their bytes take on the line. A USB
// adapter that holds answers back (its latency timer) shows here long before a time-out.
class AnswerLateness
{
public:
    static constexpr double SlowMs = 8.0;
    static constexpr std::size_t MaxSamples = 1024;
    // Request and reply, ten bits a byte at 19200 baud.
    static constexpr double WireMs = 2.0 * LinkFrame::Size * 10 * 1000 / 19200;

    // One answered request: sent and completed at these times of day, in hundredths.
    void record(double sentAt, double repliedAt);
    void reset();
    // Over the last MaxSamples answers; nothing before the first.
    std::optional<double> medianMs() const;
    bool isSlow() const;
    std::size_t sampleCount() const { return m_samples.size(); }

    static QString hint(double medianMs);

private:
    std::vector<double> m_samples;
    std::size_t m_next = 0; // the oldest sample, once the memory is full
};
