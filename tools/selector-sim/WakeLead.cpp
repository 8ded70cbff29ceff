// SPDX-License-Identifier: GPL-3.0-or-later
#include "WakeLead.h"

#include <algorithm>

namespace selectorsim {

void WakeLead::learn(std::chrono::nanoseconds lateness)
{
    // Up one step when a wake-up was later than the lead, down three when it was not: steady
    // where one wake-up in four comes within the lead.
    m_lead += lateness > m_lead ? Step : -3 * Step;
    m_lead = std::clamp(m_lead, std::chrono::nanoseconds{0}, Limit);
}

} // namespace selectorsim
