// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortChoices.h"

#include "ApplicationCore.h"
#include "PortIdentity.h"
#include "PortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

QString PortChoices::stableNameFolder()
{
    return QStringLiteral("/dev/serial/by-id");
}

QString PortChoices::deviceInfoFolder()
{
    return PortIdentity::systemTtyFolder();
}

QList<SerialDevice> PortChoices::present(const QString& folder, const QString& infoFolder)
{
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice device{info.systemLocation(),
                            stableNameOf(info.systemLocation(), folder),
                            info.description(),
                            info.manufacturer(),
                            info.serialNumber(),
                            {},
                            {}};
        readDeviceInfo(device, infoFolder);
        devices.append(device);
    }
    return devices;
}

QString PortChoices::stableNameOf(const QString& location, const QString& folder)
{
    const QDir names(folder);
    for (const QString& name : names.entryList(QDir::System | QDir::Files, QDir::Name))
        if (PortName::same(names.filePath(name), location, PortNaming::Unix))
            return names.filePath(name);
    return QString();
}

void PortChoices::readDeviceInfo(SerialDevice& device, const QString& infoFolder)
{
    // The tty's device folder is the USB-serial device itself (for ttyUSB0 the same folder as
    // /sys/bus/usb-serial/devices/ttyUSB0), where the latency timer is kept.
    const QDir folder(
        QDir(infoFolder)
            .filePath(QFileInfo(device.location).fileName() + QStringLiteral("/device")));
    const QString driver = QFileInfo(folder.filePath(QStringLiteral("driver"))).symLinkTarget();
    device.driver = driver.isEmpty() ? QString() : QFileInfo(driver).fileName();
    QFile timer(folder.filePath(QStringLiteral("latency_timer")));
    bool isNumber = false;
    const int milliseconds =
        timer.open(QIODevice::ReadOnly) ? timer.read(16).trimmed().toInt(&isNumber) : 0;
    device.latencyTimerMs = isNumber ? std::optional<int>(milliseconds) : std::nullopt;
}

PortChoices::PortChoices(QList<SerialDevice> devices, PortNaming naming)
    : m_devices(std::move(devices)), m_naming(naming)
{
}

QStringList PortChoices::names() const
{
    QStringList names;
    for (const SerialDevice& device : m_devices) {
        if (!device.stableName.isEmpty())
            names.append(device.stableName);
        names.append(PortName::shownName(device.location, m_naming));
    }
    return names;
}

const SerialDevice* PortChoices::find(const QString& path) const
{
    for (const SerialDevice& device : m_devices)
        if (PortName::same(device.location, path, m_naming))
            return &device;
    return nullptr;
}

QString PortChoices::describe(const QString& path) const
{
    const SerialDevice* device = find(path);
    if (!device)
        return QStringLiteral("not listed by the system");
    QStringList words;
    for (const QString& word : {device->description, device->manufacturer})
        if (!word.isEmpty())
            words.append(word);
    if (!device->serialNumber.isEmpty())
        words.append(QStringLiteral("serial number %1").arg(device->serialNumber));
    if (words.isEmpty())
        words.append(QStringLiteral("a serial device with no description"));
    return words.join(QStringLiteral(", "));
}

QString PortChoices::stableNameInsteadOf(const QString& path) const
{
    const SerialDevice* device = find(path);
    return device && PortName::systemName(path, m_naming) == device->location ? device->stableName
                                                                              : QString();
}

QStringList PortChoices::comItemsOf(const SerialDevice& device, const QSettings& settings) const
{
    QStringList items;
    for (int portNumber : ApplicationCore::PortNumbers)
        if (find(PortMap::device(settings, portNumber)) == &device)
            items.append(QStringLiteral("Com%1").arg(portNumber));
    return items;
}
