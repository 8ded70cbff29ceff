// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortName.h"

#include <QFileInfo>

namespace {

const QString WindowsDevicePrefix = QStringLiteral("\\\\.\\");

} // namespace

namespace PortName {

QString systemName(const QString& name, PortNaming naming)
{
    const QString trimmed = name.trimmed();
    const bool bare = !trimmed.isEmpty() && !trimmed.contains(QLatin1Char('/')) &&
                      !trimmed.contains(QLatin1Char('\\'));
    if (!bare)
        return trimmed;
    return (naming == PortNaming::Windows ? WindowsDevicePrefix : QStringLiteral("/dev/")) +
           trimmed;
}

QString shownName(const QString& location, PortNaming naming)
{
    if (naming == PortNaming::Windows && location.startsWith(WindowsDevicePrefix))
        return location.mid(WindowsDevicePrefix.size());
    return location;
}

QString key(const QString& name, PortNaming naming)
{
    const QString path = systemName(name, naming);
    if (naming == PortNaming::Windows)
        return path.toUpper();
    const QString canonical = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

bool same(const QString& first, const QString& second, PortNaming naming)
{
    const QString firstKey = key(first, naming);
    return !firstKey.isEmpty() && firstKey == key(second, naming);
}

} // namespace PortName
