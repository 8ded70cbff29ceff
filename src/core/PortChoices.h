// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortName.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QSettings;

// A serial device the system lists, with the stable name that leads to it when it has one.
struct SerialDevice
{
    QString location;   // /dev/ttyUSB0, or \\.\COM3 on Windows
    QString stableName; // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString driver; // ftdi_sio
    // How long a USB adapter holds back a short answer before handing it on.
    std::optional<int> latencyTimerMs;
};

// What the Com items can be mapped to: the serial devices present and what a path names among
// them. A pseudo-terminal is not listed, but any path may be mapped all the same.
class PortChoices
{
public:
    // Where the system keeps the stable names of USB serial adapters.
    static QString stableNameFolder();
    // Where the system tells each serial device's driver and its adapter's settings.
    static QString deviceInfoFolder();
    // The devices present, by QSerialPortInfo, with their stable names from folder and their
    // drivers from infoFolder.
    static QList<SerialDevice> present(const QString& folder = stableNameFolder(),
                                       const QString& infoFolder = deviceInfoFolder());
    // The entry of folder that leads to location, or empty.
    static QString stableNameOf(const QString& location, const QString& folder);
    // The driver and latency timer infoFolder tells for the device, where it tells them.
    static void readDeviceInfo(SerialDevice& device, const QString& infoFolder);

    explicit PortChoices(QList<SerialDevice> devices, PortNaming naming = HostNaming);

    const QList<SerialDevice>& devices() const { return m_devices; }
    PortNaming naming() const { return m_naming; }
    // Per device its stable name first (it survives plugging in another order), then its
    // device name.
    QStringList names() const;
    // The device that path names (its device name, its stable name, or another link to it).
    const SerialDevice* find(const QString& path) const;
    // The device that path names, in words: description, manufacturer, serial number.
    QString describe(const QString& path) const;
    // The stable name to use instead of path when path is the kernel name of an adapter that
    // has one (after replugging, the kernel name may belong to another adapter); else empty.
    QString stableNameInsteadOf(const QString& path) const;
    // The Com items, by name ("Com1"), that the settings store maps to device.
    QStringList comItemsOf(const SerialDevice& device, const QSettings& settings) const;

private:
    QList<SerialDevice> m_devices;
    PortNaming m_naming;
};

// Where the serial devices present are looked up: the system's own places, or a test's.
struct PortListing
{
    QString stableNameFolder = PortChoices::stableNameFolder();
    // Empty: the system's list.
    std::function<QList<SerialDevice>()> devices;

    QList<SerialDevice> present() const
    {
        return devices ? devices() : PortChoices::present(stableNameFolder);
    }
};
