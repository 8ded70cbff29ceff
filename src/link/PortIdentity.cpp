// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortIdentity.h"

#include "PortName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

bool PortIdentity::mayReopen(const std::optional<PortIdentity>& chosen, const PortIdentity& now)
{
    // A name that never opened was chosen for whatever device comes to it.
    switch (now.kind) {
    case Kind::Absent:
        return true;
    case Kind::Unknown:
        return false;
    case Kind::StableName:
    case Kind::BuiltIn:
        return !chosen || chosen->kind == now.kind;
    case Kind::Adapter:
        if (!chosen)
            return true;
        if (chosen->kind != now.kind || chosen->usb != now.usb)
            return false;
        // Only the place tells alike adapters apart.
        return (!chosen->alike && !now.alike) ||
               (!now.place.isEmpty() && chosen->place == now.place);
    }
    return false;
}

PortIdentity PortIdentity::of(const QString& name, const QList<ListedPort>& listed,
                              const QString& ttyFolder)
{
    const QString path = PortName::systemName(name);
    const auto found = std::find_if(listed.cbegin(), listed.cend(), [&](const ListedPort& port) {
        return PortName::same(port.location, path);
    });
    if (found != listed.cend()) {
        if (found->usb.isEmpty() && found->serialNumber.isEmpty())
            return {Kind::BuiltIn};
        const auto alike =
            std::count_if(listed.cbegin(), listed.cend(), [&](const ListedPort& port) {
                return port.usb == found->usb && port.serialNumber == found->serialNumber;
            });
        return {Kind::Adapter, found->usb + QLatin1Char(' ') + found->serialNumber,
                usbPlace(found->location, ttyFolder), found->serialNumber.isEmpty() || alike > 1};
    }
    const QFileInfo file(path);
    // A pseudo-terminal is never listed; a link to one stands in for an adapter's stable name.
    if (!file.exists())
        return {Kind::Absent};
    return {file.isSymLink() ? Kind::StableName : Kind::Unknown};
}

QString PortIdentity::usbPlace(const QString& location, const QString& ttyFolder)
{
    // The tty's device is an interface of a USB device (1-1:1.0) or lies below one; the USB
    // device's folder is named after its port path.
    static const QRegularExpression portPath(QStringLiteral("^\\d+-\\d+(\\.\\d+)*$"));
    const QString device = QFileInfo(QDir(ttyFolder).filePath(QFileInfo(location).fileName() +
                                                              QStringLiteral("/device")))
                               .canonicalFilePath();
    const QStringList folders = device.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const auto place = std::find_if(folders.crbegin(), folders.crend(), [](const QString& folder) {
        return portPath.match(folder).hasMatch();
    });
    return place == folders.crend() ? QString() : *place;
}
