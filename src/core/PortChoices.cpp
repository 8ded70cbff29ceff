// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortChoices.h"

#include "ApplicationCore.h"
#include "PortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

const QString WindowsDevicePrefix = QStringLiteral("\\\\.\\");

// In the system's form with links resolved, so that a stable name and its device compare
// equal; a path that names nothing compares as written. Windows' names are no files and do not
// tell case apart.
QString resolved(const QString& name, PortNaming naming)
{
    const QString path = PortChoices::systemName(name, naming);
    if (naming == PortNaming::Windows)
        return path.toUpper();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

QString PortChoices::stableNameFolder()
{
    return QStringLiteral("/dev/serial/by-id");
}

QString PortChoices::deviceInfoFolder()
{
    return QStringLiteral("/sys/class/tty");
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
    const QString target = resolved(location, PortNaming::Unix);
    for (const QString& name : names.entryList(QDir::System | QDir::Files, QDir::Name))
        if (resolved(names.filePath(name), PortNaming::Unix) == target)
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

QString PortChoices::systemName(const QString& name, PortNaming naming)
{
    const QString trimmed = name.trimmed();
    const bool bare = !trimmed.isEmpty() && !trimmed.contains(QLatin1Char('/')) &&
                      !trimmed.contains(QLatin1Char('\\'));
    if (!bare)
        return trimmed;
    return (naming == PortNaming::Windows ? WindowsDevicePrefix : QStringLiteral("/dev/")) +
           trimmed;
}

QString PortChoices::shownName(const QString& location, PortNaming naming)
{
    if (naming == PortNaming::Windows && location.startsWith(WindowsDevicePrefix))
        return location.mid(WindowsDevicePrefix.size());
    return location;
}

bool PortChoices::sameDevice(const QString& first, const QString& second, PortNaming naming)
{
    return resolved(first, naming) == resolved(second, naming);
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
        names.append(shownName(device.location, m_naming));
    }
    return names;
}

const SerialDevice* PortChoices::find(const QString& path) const
{
    for (const SerialDevice& device : m_devices)
        if (sameDevice(device.location, path, m_naming))
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
    return device && systemName(path, m_naming) == device->location ? device->stableName
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
