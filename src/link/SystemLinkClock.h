// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkClock.h"

#include <QElapsedTimer>

// The program's clock: the time of day taken once at start, advanced by a monotonic timer so
// that a change of the system time cannot stretch or cut a time-out.
class SystemLinkClock final : public LinkClock
{
public:
    SystemLinkClock();
    double now() const override;
    std::unique_ptr<LinkTimer> createTimer() override;

private:
    double m_startOfDay;
    QElapsedTimer m_elapsed;
};
