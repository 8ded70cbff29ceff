// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortChoices.h"

#include "ApplicationCore.h"
#include "PortMap.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

// Links resolved, so that a stable name and its device compare equal; a path that names
// nothing compares as written.
QString resolved(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

QString PortChoices::stableNameFolder()
{
    return QStringLiteral("/dev/serial/by-id");
}

QList<SerialDevice> PortChoices::present(const QString& folder)
{
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.append({info.systemLocation(), stableNameOf(info.systemLocation(), folder),
                        info.description(), info.manufacturer(), info.serialNumber()});
    return devices;
}

QString PortChoices::stableNameOf(const QString& location, const QString& folder)
{
    const QDir names(folder);
    const QString target = resolved(location);
    for (const QString& name : names.entryList(QDir::System | QDir::Files, QDir::Name))
        if (resolved(names.filePath(name)) == target)
            return names.filePath(name);
    return QString();
}

PortChoices::PortChoices(QList<SerialDevice> devices) : m_devices(std::move(devices)) {}

QStringList PortChoices::names() const
{
    QStringList names;
    for (const SerialDevice& device : m_devices) {
        if (!device.stableName.isEmpty())
            names.append(device.stableName);
        names.append(device.location);
    }
    return names;
}

const SerialDevice* PortChoices::find(const QString& path) const
{
    const QString target = resolved(path.trimmed());
    for (const SerialDevice& device : m_devices)
        if (resolved(device.location) == target)
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

QStringList PortChoices::comItemsOf(const SerialDevice& device, const QSettings& settings) const
{
    QStringList items;
    for (int portNumber : ApplicationCore::PortNumbers)
        if (find(PortMap::device(settings, portNumber)) == &device)
            items.append(QStringLiteral("Com%1").arg(portNumber));
    return items;
}
