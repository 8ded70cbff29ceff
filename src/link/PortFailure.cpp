// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortFailure.h"

namespace PortFailure {

QString openReason(QSerialPort::SerialPortError error, const QString& device,
                   const QString& systemText, bool accessible)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("no device %1: is the adapter plugged in?").arg(device);
    case QSerialPort::PermissionError:
        if (accessible)
            return QStringLiteral("%1 is in use by another program").arg(device);
        return QStringLiteral(
                   "no permission for %1: add your account to the group dialout, then log in "
                   "again")
            .arg(device);
    default:
        return QStringLiteral("%1: %2").arg(device, systemText);
    }
}

QString lostLine()
{
    return QStringLiteral("the adapter or line is gone");
}

QString anotherDevice(const QString& device)
{
    return QStringLiteral("%1 may now be another device: choose the port again (System menu)")
        .arg(device);
}

} // namespace PortFailure
