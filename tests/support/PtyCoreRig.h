// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ApplicationCore.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QSettings>

// The program's own serial code end to end: a virtual selector on a pseudo-terminal that the
// port map names as Com1, and an application core on a real serial port. Make one per test,
// after resetting the test environment.
struct PtyCoreRig
{
    PtyCoreRig() : core(std::make_unique<SerialLinkPort>(), clock) {}

    // Starts the selector (on a new device after stop()), maps Com1 to it and chooses Com1, as
    // a technician would after plugging the adapter in again.
    bool connect()
    {
        if (!simulator.start())
            return false;
        QSettings().setValue(QStringLiteral("Ports/Com1"),
                             QString::fromStdString(simulator.devicePath()));
        core.choosePort(1);
        return core.link().isPortOpen();
    }

    SystemLinkClock clock;
    selectorsim::SelectorSimulator simulator;
    ApplicationCore core;
};
