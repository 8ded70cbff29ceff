#pragma once

#include "ApplicationCore.h"
#include "FakeSelector.h"
#include "SelectorLink.h"

#include <memory>

// An application core whose link runs on a fake port, answered by a fake selector, on fake
// time: what a calibration runs on in the tests.
struct CalibrationBench
{
    CalibrationBench()
    {
        auto fakePort = std::make_unique<FakeLinkPort>();
        port = fakePort.get();
        selector = std::make_unique<FakeSelector>(*port);
        core = std::make_unique<ApplicationCore>(std::move(fakePort), clock);
        port->open(QStringLiteral("fake"));
    }

    bool awaitingCoin()
    {
        return pumpUntil(clock, [this] {
            return core->link().isWaiting() &&
                   core->link().receiveThreshold() == SelectorLink::ReportThreshold;
        });
    }
    bool linkFree()
    {
        return pumpUntil(clock, [this] { return !core->link().isBusy(); });
    }

    FakeLinkClock clock;
    FakeLinkPort* port = nullptr; // owned by the core's link
    std::unique_ptr<FakeSelector> selector;
    std::unique_ptr<ApplicationCore> core; // last: goes first, before what its link uses
};
