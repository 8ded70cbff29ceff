// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// What a device name leads to, so that a port lost while in use is opened again by itself only
// when its name still leads to the same device: a kernel name (/dev/ttyUSB0, /dev/pts/3) is
// handed to whatever device or program comes next.
struct PortIdentity
{
    enum class Kind
    {
        Absent,     // nothing by that name now
        Unknown,    // not a serial port the system lists: a pseudo-terminal, or anything else
        StableName, // a symbolic link, which follows its device (/dev/serial/by-id/...)
        BuiltIn,    // a serial port with no USB identity, which no other device can take over
        Adapter     // a USB adapter, told apart by its usb text
    };

    Kind kind = Kind::Unknown;
    QString usb; // vendor id, product id and serial number, as far as the system tells them

    bool operator==(const PortIdentity&) const = default;

    // Whether a port may be opened again by itself, given what its name led to when it was
    // chosen (nothing when it never opened) and what it leads to now. A name that leads
    // nowhere may be tried: that open fails with its own reason.
    static bool mayReopen(const std::optional<PortIdentity>& chosen, const PortIdentity& now);
};
