// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ApplicationCore.h"
#include "FakeSelector.h"
#include "SelectorLink.h"

// An application core whose port is answered by a fake selector, on fake time. Make one per
// test, after resetting the test environment.
struct FakeCoreRig
{
    FakeCoreRig()
        : port(new FakeLinkPort), selector(*port), core(std::unique_ptr<LinkPort>(port), clock)
    {
    }

    bool runLinkUntilIdle()
    {
        return pumpUntil(clock, [this] { return !core.link().isBusy(); });
    }

    FakeLinkClock clock;
    FakeLinkPort* port; // owned by the core's link
    FakeSelector selector;
    ApplicationCore core;
};
