// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldEncoding.h"

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 CoinFlagsKeptBit = 64;

// Quotient rounded towards minus infinity; divisor > 0.
qint64 floorDiv(qint64 value, qint64 divisor)
{
    const qint64 quotient = value / divisor;
    return value % divisor < 0 ? quotient - 1 : quotient;
}

// Remainder with the sign of the divisor; divisor > 0.
qint64 floorMod(qint64 value, qint64 divisor)
{
    const qint64 remainder = value % divisor;
    return remainder < 0 ? remainder + divisor : remainder;
}

int saturatedInt(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

int lowNibble(qint64 value)
{
    return static_cast<int>(value & 15);
}

} // namespace

CoinFlags CoinFlags::decompose(qint64 value)
{
    return {saturatedInt(floorDiv(value, 128)), static_cast<int>(floorMod(value, 64) / 16),
            lowNibble(value)};
}

qint64 CoinFlags::compose(qint64 previousValue) const
{
    return qint64{disable} * 128 + qint64{separator} * 16 + toleranceA +
           (previousValue & CoinFlagsKeptBit);
}

OutputModeField OutputModeField::decompose(qint64 value)
{
    return {lowNibble(value), saturatedInt(floorDiv(value, 128))};
}

qint64 OutputModeField::compose() const
{
    return qint64{level} * 128 + mode;
}

Mt1Field Mt1Field::decompose(qint64 value)
{
    return {lowNibble(value), saturatedInt(floorDiv(value, 16))};
}

qint64 Mt1Field::compose() const
{
    return qint64{toleranceC} * 16 + toleranceB;
}
