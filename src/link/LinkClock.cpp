// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkClock.h"

#include <cmath>

double LinkClock::elapsedMs(double from, double now)
{
    return std::fmod(now - from + HundredthsPerDay, HundredthsPerDay) * 10;
}

int LinkClock::elapsedHundredths(float t0, double now)
{
    const double span = now + HundredthsPerDay - static_cast<double>(t0);
    const auto rounded = static_cast<long long>(std::llround(span));
    return static_cast<int>(((rounded % HundredthsPerDay) + HundredthsPerDay) % HundredthsPerDay);
}
