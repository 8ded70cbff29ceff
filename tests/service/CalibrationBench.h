// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeCoreRig.h"

// The fake core with its port open, and the wait for the run to ask for the next coin.
struct CalibrationBench : FakeCoreRig
{
    CalibrationBench() { port->open(QStringLiteral("fake")); }

    bool awaitingCoin()
    {
        return pumpUntil(clock, [this] {
            return core.link().isWaiting() &&
                   core.link().receiveThreshold() == SelectorLink::ReportThreshold;
        });
    }
};
