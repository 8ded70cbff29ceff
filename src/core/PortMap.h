// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSettings;

// The port menu's Com1..Com4 and Com9 stand for device names kept in the settings store
// (section "Ports"), so a technician can map a USB adapter to any of them.
namespace PortMap {

QString defaultDevice(int portNumber);
QString device(const QSettings& settings, int portNumber);

} // namespace PortMap
