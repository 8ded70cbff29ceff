// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSettings;

// A serial device the system lists, with the stable name that leads to it when it has one.
struct SerialDevice
{
    QString location;   // /dev/ttyUSB0
    QString stableName; // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
    QString description;
    QString manufacturer;
    QString serialNumber;
};

// What the Com items can be mapped to: the serial devices present and what a path names among
// them. A pseudo-terminal is not listed, but any path may be mapped all the same.
class PortChoices
{
public:
    // Where the system keeps the stable names of USB serial adapters.
    static QString stableNameFolder();
    // The devices present, by QSerialPortInfo, with their stable names from folder.
    static QList<SerialDevice> present(const QString& folder = stableNameFolder());
    // The entry of folder that leads to location, or empty.
    static QString stableNameOf(const QString& location, const QString& folder);

    explicit PortChoices(QList<SerialDevice> devices);

    const QList<SerialDevice>& devices() const { return m_devices; }
    // Per device its stable name first (it survives plugging in another order), then its
    // device name.
    QStringList names() const;
    // The device that path names (its device name, its stable name, or another link to it).
    const SerialDevice* find(const QString& path) const;
    // The device that path names, in words: description, manufacturer, serial number.
    QString describe(const QString& path) const;
    // The Com items, by name ("Com1"), that the settings store maps to device.
    QStringList comItemsOf(const SerialDevice& device, const QSettings& settings) const;

private:
    QList<SerialDevice> m_devices;
};
