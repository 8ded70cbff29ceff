// SPDX-License-Identifier: GPL-3.0-or-later
#include "MoneyConversion.h"

#include "SelectorImage.h"

#include <cmath>

namespace MoneyConversion {

namespace {

bool isBankA(int coin)
{
    return coin <= ParameterMap::CoinCount / 2;
}

} // namespace

std::optional<Amounts> amounts(const SelectorImage& image)
{
    const double divideA = image.value(ParameterMap::DivideFactorA);
    const double divideB = image.value(ParameterMap::DivideFactorB);
    if (divideA == 0.0 || divideB == 0.0)
        return std::nullopt;
    const double multiplyA = image.value(ParameterMap::MultiplyFactorA);
    const double multiplyB = image.value(ParameterMap::MultiplyFactorB);
    Amounts shown{};
    for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin) {
        const double money = image.value(ParameterMap::money(coin));
        shown[static_cast<std::size_t>(coin - 1)] =
            isBankA(coin) ? money * multiplyA / divideA : money * multiplyB / divideB;
    }
    return shown;
}

QString amountText(double amount)
{
    return QString::number(amount, 'g', 15);
}

bool writeBack(SelectorImage& image, const BoxTexts& boxes)
{
    const double multiplyA = image.value(ParameterMap::MultiplyFactorA);
    const double multiplyB = image.value(ParameterMap::MultiplyFactorB);
    if (multiplyA == 0.0 || multiplyB == 0.0)
        return false;
    const double divideA = image.value(ParameterMap::DivideFactorA);
    const double divideB = image.value(ParameterMap::DivideFactorB);
    for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin) {
        bool isNumber = false;
        const double amount =
            boxes[static_cast<std::size_t>(coin - 1)].trimmed().toDouble(&isNumber);
        if (!isNumber || !std::isfinite(amount))
            continue;
        const double money =
            isBankA(coin) ? amount * divideA / multiplyA : amount * divideB / multiplyB;
        image.setCell(ParameterMap::money(coin), amountText(money));
    }
    return true;
}

} // namespace MoneyConversion
