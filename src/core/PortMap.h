// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSettings;

// The port menu's Com1..Com4 and Com9 stand for device names kept in the settings store
// (section "Ports"), so a technician can map a USB adapter to any of them.
namespace PortMap {

QString defaultDevice(int portNumber);
QString device(const QSettings& settings, int portNumber);
// Stores the device of a Com item; an empty one gives it back its default. True when the
// device the Com item stands for changed.
bool setDevice(QSettings& settings, int portNumber, const QString& device);

} // namespace PortMap
