// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How the system writes the names of its serial devices.
enum class PortNaming
{
    Unix,   // /dev/ttyS0
    Windows // \\.\COM3
};

#ifdef Q_OS_WIN
constexpr PortNaming HostNaming = PortNaming::Windows;
#else
constexpr PortNaming HostNaming = PortNaming::Unix;
#endif

// The one rule for what a typed or stored port name names, so that the ports dialog, the check,
// the command line, the production log and the reopen of a lost port agree on "the same port".
namespace PortName {

// The name as the system writes its devices: the blanks around it dropped, a bare name (ttyS0,
// COM3) taken as the device of that name (/dev/ttyS0, \\.\COM3).
QString systemName(const QString& name, PortNaming naming = HostNaming);
// A device as the technician knows it: Windows' device prefix left out (COM3).
QString shownName(const QString& location, PortNaming naming = HostNaming);
// What names are compared by: the system's form with links followed (a stable name is its
// device); Windows' names, which are no files, without regard to case. A name that names
// nothing is taken as written; a blank one gives an empty key.
QString key(const QString& name, PortNaming naming = HostNaming);
// Whether two names lead to the same device. A name typed empty or blank is no port: it is
// never the same as another, not even another blank one.
bool same(const QString& first, const QString& second, PortNaming naming = HostNaming);

} // namespace PortName
