// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliReport.h"

#include "EditorFields.h"
#include "ParameterMap.h"
#include "ParameterNames.h"
#include "SelectorImage.h"

#include <QJsonArray>

namespace {

// The general fields in the order a technician looks for them.
constexpr int GeneralAddresses[] = {
    ParameterMap::OutputMode,    ParameterMap::PriceA,     ParameterMap::MultiplyFactorA,
    ParameterMap::DivideFactorA, ParameterMap::PriceB,     ParameterMap::MultiplyFactorB,
    ParameterMap::DivideFactorB, ParameterMap::SignalTime, ParameterMap::TimerScaleA,
    ParameterMap::TimerScaleB,   ParameterMap::HoldTime,   ParameterMap::CoinSeparator,
    ParameterMap::SerialNo,
};

QString byteText(int address, quint8 byte)
{
    return ParameterNames::isPacked(address)
               ? QStringLiteral("%1 (%2)").arg(byte).arg(ParameterNames::decoded(address, byte))
               : QString::number(byte);
}

QJsonObject byteJson(int address, quint8 byte)
{
    return {{QStringLiteral("byte"), byte},
            {QStringLiteral("decoded"), ParameterNames::decoded(address, byte)}};
}

QString bankOf(int coin)
{
    return ParameterNames::at(ParameterMap::money(coin)).bank;
}

} // namespace

namespace CliReport {

QList<ByteDifference> differences(const SelectorImage& first, const SelectorImage& second,
                                  const QList<int>& addresses)
{
    QList<ByteDifference> found;
    for (const int address : addresses) {
        const quint8 a = first.selectorByte(address);
        const quint8 b = second.selectorByte(address);
        if (a != b)
            found.append({address, a, b});
    }
    return found;
}

QList<int> selectorAddresses()
{
    QList<int> addresses;
    for (int address = 0; address < SelectorImage::SelectorByteCount; ++address)
        addresses.append(address);
    return addresses;
}

QString differenceLine(const ByteDifference& difference)
{
    return QStringLiteral("address %1  %2: %3 -> %4")
        .arg(difference.address)
        .arg(ParameterNames::at(difference.address).text(),
             byteText(difference.address, difference.first),
             byteText(difference.address, difference.second));
}

QJsonObject differenceJson(const ByteDifference& difference)
{
    const ParameterName name = ParameterNames::at(difference.address);
    QJsonObject object{{QStringLiteral("address"), difference.address},
                       {QStringLiteral("parameter"), name.field},
                       {QStringLiteral("first"), byteJson(difference.address, difference.first)},
                       {QStringLiteral("second"), byteJson(difference.address, difference.second)}};
    if (name.coin != 0)
        object.insert(QStringLiteral("coin"), name.coin);
    if (!name.bank.isNull())
        object.insert(QStringLiteral("bank"), QString(name.bank));
    return object;
}

QString parameterTable(const SelectorImage& image)
{
    const EditorFields fields = EditorFields::fromImage(image);
    QString table = QStringLiteral("Coin  Bank  Money  Tol-A  Tol-B  Tol-C  Disable  Separator\n");
    for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin) {
        const EditorFields::Coin& c = fields.coins[std::size_t(ParameterMap::coinIndex(coin))];
        table += QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8\n")
                     .arg(coin, 4)
                     .arg(bankOf(coin), 4)
                     .arg(c.money, 5)
                     .arg(c.toleranceA, 5)
                     .arg(c.toleranceB, 5)
                     .arg(c.toleranceC, 5)
                     .arg(c.disable == 1 ? QStringLiteral("Yes") : QStringLiteral("No"), 7)
                     .arg(c.separator, 9);
    }
    table += QLatin1Char('\n');
    for (const int address : GeneralAddresses)
        table += QStringLiteral("%1  %2\n")
                     .arg(ParameterNames::at(address).text(), -24)
                     .arg(ParameterNames::decoded(address, image.selectorByte(address)));
    return table;
}

QJsonObject parameterJson(const SelectorImage& image)
{
    const EditorFields fields = EditorFields::fromImage(image);
    QJsonArray coins;
    for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin) {
        const EditorFields::Coin& c = fields.coins[std::size_t(ParameterMap::coinIndex(coin))];
        coins.append(QJsonObject{{QStringLiteral("coin"), coin},
                                 {QStringLiteral("bank"), bankOf(coin)},
                                 {QStringLiteral("money"), c.money},
                                 {QStringLiteral("toleranceA"), c.toleranceA},
                                 {QStringLiteral("toleranceB"), c.toleranceB},
                                 {QStringLiteral("toleranceC"), c.toleranceC},
                                 {QStringLiteral("disable"), c.disable},
                                 {QStringLiteral("separator"), c.separator}});
    }
    QJsonObject general;
    for (const int address : GeneralAddresses)
        general.insert(ParameterNames::at(address).field,
                       byteJson(address, image.selectorByte(address)));
    QJsonArray bytes;
    for (const int address : selectorAddresses())
        bytes.append(image.selectorByte(address));
    return {{QStringLiteral("coins"), coins},
            {QStringLiteral("general"), general},
            {QStringLiteral("bytes"), bytes}};
}

} // namespace CliReport
