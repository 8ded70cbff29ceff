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

QString device(const QSettings& settings, int portNumber)
{
    const QString key = QStringLiteral("Ports/Com%1").arg(portNumber);
    const QString mapped = settings.value(key).toString().trimmed();
    return mapped.isEmpty() ? defaultDevice(portNumber) : mapped;
}

} // namespace PortMap
