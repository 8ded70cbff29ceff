// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>

// A serial port as the system lists it.
struct ListedPort
{
    QString location;     // /dev/ttyUSB0, or \\.\COM3 on Windows
    QString usb;          // vendor and product id (0403:6001); empty for a port without them
    QString serialNumber; // empty where the adapter has none
};

// What a device name leads to, so that a port lost while in use is opened again by itself only
// when its name still leads to the same device: a kernel name (/dev/ttyUSB0, /dev/pts/3) is
// handed to whatever device or program comes next, and a stable name to whichever of two alike
// adapters comes next.
struct PortIdentity
{
    enum class Kind
    {
        Absent,     // nothing by that name now
        Unknown,    // not a serial port the system lists: a pseudo-terminal, or anything else
        StableName, // a symbolic link to a device the system does not list
        BuiltIn,    // a serial port with no USB identity, which no other device can take over
        Adapter     // a USB adapter, told apart by its usb text, and where needed by its place
    };

    Kind kind = Kind::Unknown;
    QString usb = {}; // vendor id, product id and serial number, as far as the system tells them
    // The USB port path it is plugged in at (1-1, 1-1.3), where the system tells it.
    QString place = {};
    // Its usb text does not tell it from other adapters: it has no serial number, or another
    // adapter present has the same usb text.
    bool alike = false;

    bool operator==(const PortIdentity&) const = default;

    // Whether a port may be opened again by itself, given what its name led to when it was
    // chosen (nothing when it never opened) and what it leads to now. A name that leads
    // nowhere may be tried: that open fails with its own reason.
    static bool mayReopen(const std::optional<PortIdentity>& chosen, const PortIdentity& now);

    // What name leads to among the ports listed, links followed. ttyFolder is where the system
    // tells each tty's device (/sys/class/tty), for the place an adapter is plugged in at.
    static PortIdentity of(const QString& name, const QList<ListedPort>& listed,
                           const QString& ttyFolder);
    // The USB port path of the USB device a tty belongs to, or empty.
    static QString usbPlace(const QString& location, const QString& ttyFolder);
    // Where the system tells each tty's device and driver.
    static QString systemTtyFolder() { return QStringLiteral("/sys/class/tty"); }
};
