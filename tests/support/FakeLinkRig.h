// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeLinkClock.h"
#include "FakeLinkPort.h"
#include "SelectorLink.h"

// A link on a fake port and fake time, opened and ready.
struct FakeLinkRig
{
    FakeLinkRig() : port(new FakeLinkPort), link(std::unique_ptr<LinkPort>(port), clock)
    {
        link.openPort(QStringLiteral("fake"));
    }

    FakeLinkClock clock;
    FakeLinkPort* port; // owned by the link
    SelectorLink link;
};
