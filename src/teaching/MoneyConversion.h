// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ParameterMap.h"

#include <QString>

#include <array>
#include <optional>

class SelectorImage;

// The sampling window's money boxes: each coin's Money byte shown as an amount through its
// bank's factors (Money x multiply / divide), and written back the other way.
namespace MoneyConversion {

using Amounts = std::array<double, ParameterMap::CoinCount>;
using BoxTexts = std::array<QString, ParameterMap::CoinCount>;

// The amounts of coins 1..12, or nothing when either bank's divide factor is 0.
std::optional<Amounts> amounts(const SelectorImage& image);

// An amount as a box shows it: decimal, up to 15 significant digits, not rounded (2.5).
QString amountText(double amount);

// Writes each box's amount back into its coin's Money cell, unrounded, when both multiply
// factors are non-zero; a box that does not hold a number leaves its Money cell as it was.
// False when nothing was written for want of a multiply factor.
bool writeBack(SelectorImage& image, const BoxTexts& boxes);

} // namespace MoneyConversion
