// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

class SelectorImage;

// A selector byte that two images hold differently.
struct ByteDifference
{
    int address;
    quint8 first;
    quint8 second;
};

// What the command-line program prints: parameter listings and differences, as text for
// people and as JSON for machines.
namespace CliReport {

// The given addresses at which the bytes the selector would get differ, in the given order.
QList<ByteDifference> differences(const SelectorImage& first, const SelectorImage& second,
                                  const QList<int>& addresses);
QList<int> selectorAddresses();

// "address 20  coin 3 bank A Money: 12 -> 15", with the decoded fields of packed bytes.
QString differenceLine(const ByteDifference& difference);
QJsonObject differenceJson(const ByteDifference& difference);

// The coins with their money, tolerances and flags as the editor shows them, then the
// general fields.
QString parameterTable(const SelectorImage& image);
QJsonObject parameterJson(const SelectorImage& image);

} // namespace CliReport
