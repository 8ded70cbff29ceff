// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParameterNames.h"

#include "FieldEncoding.h"
#include "ParameterMap.h"
#include "SelectorImage.h"

#include <array>

namespace {

using namespace ParameterMap;

constexpr std::array<const char*, CoinRecordSize> CoinRecordFields{
    "EA", "EB", "CGMA", "TLD", "CoinFlags", "MAD", "Money"};

struct GeneralField
{
    int address;
    const char* field;
    char bank;
};

constexpr std::array<GeneralField, 21> GeneralFields{{
    {OutputMode, "OutputMode", 0},
    {SerialNo, "SerialNo", 0},
    {PriceA, "PriceA", 'A'},
    {MultiplyFactorA, "MultiplyFactorA", 'A'},
    {DivideFactorA, "DivideFactorA", 'A'},
    {PriceB, "PriceB", 'B'},
    {MultiplyFactorB, "MultiplyFactorB", 'B'},
    {DivideFactorB, "DivideFactorB", 'B'},
    {SignalTime, "SignalTime", 0},
    {TimerScaleA, "TimerScaleA", 'A'},
    {TimerScaleB, "TimerScaleB", 'B'},
    {HoldTime, "HoldTime", 0},
    {Std1L, "Std1L", 0},
    {Std1H, "Std1H", 0},
    {This1L, "This1L", 0},
    {This1H, "This1H", 0},
    {Std1L + CalibrationRecordSize, "Std2L", 0},
    {Std1H + CalibrationRecordSize, "Std2H", 0},
    {This1L + CalibrationRecordSize, "This2L", 0},
    {This1H + CalibrationRecordSize, "This2H", 0},
    {CoinSeparator, "CoinSeparator", 0},
}};

// The per-coin tables after the coin separator, twelve bytes each.
constexpr std::array<const char*, 5> CoinTables{"MT1", "MT2", "TD", "TM", "Table177"};
constexpr int FirstCoinTable = 129;
constexpr int FirstReference = 96;

ParameterName coinParameter(const char* field, int coin)
{
    return {QLatin1String(field), coin, QLatin1Char(coin <= CoinCount / 2 ? 'A' : 'B')};
}

QString yesNo(int disable)
{
    return disable == 1   ? QStringLiteral("Yes")
           : disable == 0 ? QStringLiteral("No")
                          : QString::number(disable);
}

} // namespace

QString ParameterName::text() const
{
    if (coin != 0)
        return QStringLiteral("coin %1 bank %2 %3").arg(coin).arg(bank).arg(field);
    if (!bank.isNull())
        return QStringLiteral("%1 (bank %2)").arg(field).arg(bank);
    return field;
}

namespace ParameterNames {

ParameterName at(int address)
{
    if (address < 0 || address >= SelectorImage::SelectorByteCount)
        return {};
    if (address < OutputMode)
        return coinParameter(CoinRecordFields[std::size_t(address % CoinRecordSize)],
                             address / CoinRecordSize + 1);
    if (address >= FirstReference && address < Std1L)
        return coinParameter((address - FirstReference) % 2 ? "M2" : "M1",
                             (address - FirstReference) / 2 + 1);
    if (address >= FirstCoinTable)
        return coinParameter(CoinTables[std::size_t((address - FirstCoinTable) / CoinCount)],
                             (address - FirstCoinTable) % CoinCount + 1);
    for (const GeneralField& general : GeneralFields)
        if (general.address == address)
            return {QLatin1String(general.field), 0,
                    general.bank ? QLatin1Char(general.bank) : QChar()};
    return {};
}

bool isPacked(int address)
{
    const ParameterName name = at(address);
    return name.field == QLatin1String("CoinFlags") || name.field == QLatin1String("MT1") ||
           address == OutputMode;
}

QString decoded(int address, quint8 byte)
{
    const ParameterName name = at(address);
    if (name.field == QLatin1String("CoinFlags")) {
        const CoinFlags flags = CoinFlags::decompose(byte);
        return QStringLiteral("Disable %1, Separator %2, tolerance A %3")
            .arg(yesNo(flags.disable))
            .arg(flags.separator)
            .arg(flags.toleranceA);
    }
    if (name.field == QLatin1String("MT1")) {
        const Mt1Field mt1 = Mt1Field::decompose(byte);
        return QStringLiteral("tolerance B %1, tolerance C %2")
            .arg(mt1.toleranceB)
            .arg(mt1.toleranceC);
    }
    if (address == OutputMode) {
        const OutputModeField output = OutputModeField::decompose(byte);
        const QStringList modes = outputModeTexts();
        return QStringLiteral("%1, %2").arg(
            output.mode < modes.size() ? modes[output.mode]
                                       : QStringLiteral("mode %1").arg(output.mode + 1),
            output.level ? QStringLiteral("High Inhibit") : QStringLiteral("Low Inhibit"));
    }
    return QString::number(byte);
}

} // namespace ParameterNames
