// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ApplicationCore.h"
#include "SelectorLink.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QFile>
#include <QSettings>

// The program's own serial code end to end: a virtual selector on a pseudo-terminal that the
// port map names as Com1, and an application core on a real serial port. Make one per test,
// after resetting the test environment.
struct PtyCoreRig
{
    PtyCoreRig() : core(std::make_unique<SerialLinkPort>(), clock) {}

    // Starts the selector (on a new device after stop()), maps Com1 to it and chooses Com1, as
    // a technician would after plugging the adapter in again. With a link, Com1 is mapped to
    // the link and the link leads to the device, as an adapter's stable name does.
    bool connect(const QString& link = {})
    {
        if (!simulator.start() || !pointLink(link))
            return false;
        QSettings().setValue(QStringLiteral("Ports/Com1"), link.isEmpty() ? device() : link);
        core.choosePort(1);
        return core.link().isPortOpen();
    }

    // The selector back on a new device behind the same link, as an adapter plugged in again
    // comes back under its stable name; nothing is chosen.
    bool comeBack(const QString& link) { return simulator.start() && pointLink(link); }

    QString device() const { return QString::fromStdString(simulator.devicePath()); }

    bool pointLink(const QString& link) const
    {
        if (link.isEmpty())
            return true;
        QFile::remove(link);
        return QFile::link(device(), link);
    }

    SystemLinkClock clock;
    selectorsim::SelectorSimulator simulator;
    ApplicationCore core;
};
