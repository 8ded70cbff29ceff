// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace selectorsim {

// How much earlier than a byte is due the worker asks to be woken. A timer wake-up comes late
// (tens of microseconds in a virtual machine), and a paced byte written on waking would leave
// that much after it was due, stretching every exchange beyond what the line takes. The lead
// follows the lateness that three wake-ups in four exceed, learned as the worker runs: most
// bytes still leave a little late, the others at most a few microseconds early.
class WakeLead
{
public:
    static constexpr std::chrono::nanoseconds Step{1000};
    // A wake-up held up by a busy machine says nothing about the timer; nor may it move the
    // bytes far ahead of the line.
    static constexpr std::chrono::nanoseconds Limit{200000};

    void learn(std::chrono::nanoseconds lateness);
    std::chrono::nanoseconds lead() const { return m_lead; }

private:
    std::chrono::nanoseconds m_lead{0};
};

} // namespace selectorsim
