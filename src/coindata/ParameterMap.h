// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QtGlobal>

// Addresses of the selector's parameter memory and what each one holds. Coins are numbered 1 to
// 12; coins 1 to 6 form bank A and coins 7 to 12 bank B.
namespace ParameterMap {

constexpr int CoinCount = 12;
constexpr int CoinRecordSize = 7;
constexpr int CalibrationRecordSize = 4;
constexpr int OutputModeCount = 12;

constexpr bool isValidCoin(int coin)
{
    return coin >= 1 && coin <= CoinCount;
}

// Position of a coin in the per-coin tables. Any other number would silently alias a
// neighbouring parameter, hence the assertion.
constexpr int coinIndex(int coin)
{
    Q_ASSERT(isValidCoin(coin));
    return coin - 1;
}

// The seven-byte record of a coin: its references, tolerances and value.
constexpr int coinRecord(int coin)
{
    return CoinRecordSize * coinIndex(coin);
}
constexpr int ea(int coin)
{
    return coinRecord(coin) + 0;
}
constexpr int eb(int coin)
{
    return coinRecord(coin) + 1;
}
constexpr int cgma(int coin)
{
    return coinRecord(coin) + 2;
}
constexpr int tld(int coin)
{
    return coinRecord(coin) + 3;
}
constexpr int coinFlags(int coin)
{
    return coinRecord(coin) + 4;
}
constexpr int mad(int coin)
{
    return coinRecord(coin) + 5;
}
constexpr int money(int coin)
{
    return coinRecord(coin) + 6;
}

constexpr int OutputMode = 84;
constexpr int SerialNo = 85;
constexpr int PriceA = 86;
constexpr int MultiplyFactorA = 87;
constexpr int DivideFactorA = 88;
constexpr int PriceB = 89;
constexpr int MultiplyFactorB = 90;
constexpr int DivideFactorB = 91;
constexpr int SignalTime = 92;
constexpr int TimerScaleA = 93;
constexpr int TimerScaleB = 94;
constexpr int HoldTime = 95;

constexpr int m1(int coin)
{
    return 96 + 2 * coinIndex(coin);
}
constexpr int m2(int coin)
{
    return 97 + 2 * coinIndex(coin);
}

// First calibration record; the second one follows it with the same layout.
constexpr int Std1L = 120;
constexpr int Std1H = 121;
constexpr int This1L = 122;
constexpr int This1H = 123;

// Start of calibration record 1 or 2.
constexpr int calibrationRecord(int token)
{
    Q_ASSERT(token == 1 || token == 2);
    return Std1L + CalibrationRecordSize * (token - 1);
}

constexpr int CoinSeparator = 128;

constexpr int mt1(int coin)
{
    return 129 + coinIndex(coin);
}
constexpr int mt2(int coin)
{
    return 141 + coinIndex(coin);
}
constexpr int td(int coin)
{
    return 153 + coinIndex(coin);
}
constexpr int tm(int coin)
{
    return 165 + coinIndex(coin);
}
// The last per-coin table has no name of its own; it is called after its start address.
constexpr int coinTable177(int coin)
{
    return 177 + coinIndex(coin);
}

// The output modes in the order of their stored number (0 to 11), as offered to the user.
QStringList outputModeTexts();

} // namespace ParameterMap
