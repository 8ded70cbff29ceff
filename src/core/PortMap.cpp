// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortMap.h"

#include <QSettings>

namespace PortMap {

QString defaultDevice(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    if (portNumber == 9)
        return QStringLiteral("/dev/ttyUSB0");
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

namespace {

QString key(int portNumber)
{
    return QStringLiteral("Ports/Com%1").arg(portNumber);
}

} // namespace

QString device(const QSettings& settings, int portNumber)
{
    const QString mapped = settings.value(key(portNumber)).toString().trimmed();
    return mapped.isEmpty() ? defaultDevice(portNumber) : mapped;
}

bool setDevice(QSettings& settings, int portNumber, const QString& device)
{
    const QString before = PortMap::device(settings, portNumber);
    const QString chosen = device.trimmed();
    if (chosen.isEmpty())
        settings.remove(key(portNumber));
    else
        settings.setValue(key(portNumber), chosen);
    return PortMap::device(settings, portNumber) != before;
}

} // namespace PortMap
