// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QString>

// Why a serial port will not open or was lost, in words a technician can act on rather than
// the system's error texts.
namespace PortFailure {

// accessible: the account may read and write the device, so a refused open means that another
// program holds it (Qt reports a device in use as a permission error, too).
QString openReason(QSerialPort::SerialPortError error, const QString& device,
                   const QString& systemText, bool accessible);

QString lostLine();

// A lost port whose name may since have been given to another device or program.
QString anotherDevice(const QString& device);

} // namespace PortFailure
