// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>

class PortChoices;
class QSettings;

// What `tarnvello-cli ports` prints: the serial devices present, each with its stable name,
// description, serial number, driver, latency timer and the Com items mapped to it; then every
// Com item's device.
namespace PortReport {

QString text(const PortChoices& choices, const QSettings& settings);
QJsonObject json(const PortChoices& choices, const QSettings& settings);

} // namespace PortReport
