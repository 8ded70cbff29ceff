// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortReport.h"

#include "ApplicationCore.h"
#include "PortChoices.h"
#include "PortMap.h"
#include "PortName.h"

#include <QJsonArray>
#include <QSettings>

namespace PortReport {

QString text(const PortChoices& choices, const QSettings& settings)
{
    QString text;
    if (choices.devices().isEmpty())
        text += QStringLiteral("No serial devices found.\n");
    for (const SerialDevice& device : choices.devices()) {
        const QStringList items = choices.comItemsOf(device, settings);
        text += PortName::shownName(device.location, choices.naming());
        if (!items.isEmpty())
            text += QStringLiteral("  mapped to ") + items.join(QStringLiteral(", "));
        text += QLatin1Char('\n');
        const std::pair<const char*, QString> fields[] = {
            {"stable name", device.stableName},
            {"description", device.description},
            {"manufacturer", device.manufacturer},
            {"serial number", device.serialNumber},
            {"driver", device.driver},
            {"latency timer", device.latencyTimerMs
                                  ? QStringLiteral("%1 ms").arg(*device.latencyTimerMs)
                                  : QString()},
        };
        for (const auto& [name, value] : fields)
            if (!value.isEmpty())
                text += QStringLiteral("    %1%2\n").arg(QLatin1String(name), -15).arg(value);
    }
    text += QStringLiteral("\nCom items:\n");
    for (int portNumber : ApplicationCore::PortNumbers)
        text += QStringLiteral("    Com%1  %2\n")
                    .arg(portNumber)
                    .arg(PortMap::device(settings, portNumber));
    return text;
}

QJsonObject json(const PortChoices& choices, const QSettings& settings)
{
    QJsonArray devices;
    for (const SerialDevice& device : choices.devices()) {
        QJsonObject listed{
            {QStringLiteral("device"), PortName::shownName(device.location, choices.naming())},
            {QStringLiteral("stableName"), device.stableName},
            {QStringLiteral("description"), device.description},
            {QStringLiteral("manufacturer"), device.manufacturer},
            {QStringLiteral("serialNumber"), device.serialNumber},
            {QStringLiteral("driver"), device.driver},
            {QStringLiteral("comItems"),
             QJsonArray::fromStringList(choices.comItemsOf(device, settings))},
        };
        if (device.latencyTimerMs)
            listed.insert(QStringLiteral("latencyTimerMs"), *device.latencyTimerMs);
        devices.append(listed);
    }
    QJsonObject items;
    for (int portNumber : ApplicationCore::PortNumbers)
        items.insert(QStringLiteral("Com%1").arg(portNumber),
                     PortMap::device(settings, portNumber));
    return {{QStringLiteral("devices"), devices}, {QStringLiteral("comItems"), items}};
}

} // namespace PortReport
