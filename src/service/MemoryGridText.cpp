// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryGridText.h"

#include "FieldValue.h"

#include <algorithm>

namespace MemoryGridText {

namespace {

constexpr int MaxByte = 255;

// A digit's value from its character code, as the two-digit rule reads it: letters after '9'
// lose the seven characters between '9' and 'A'.
int digitValue(QChar character)
{
    int value = character.toUpper().unicode() - '0';
    if (value > 9)
        value -= 7;
    return value;
}

} // namespace

QString toDecimal(const QString& hexadecimal)
{
    const QString text = hexadecimal.rightJustified(2, QLatin1Char('0'));
    const int high = std::min(digitValue(text.at(0)), 15);
    const int low = digitValue(text.at(1));
    return QString::number(std::clamp(16 * high + low, 0, MaxByte));
}

QString toHexadecimal(const QString& decimal)
{
    const qint64 value = FieldValue::roundHalfEven(FieldValue::readFieldValue(decimal));
    return QString::number(std::clamp<qint64>(value, 0, MaxByte), 16).toUpper();
}

} // namespace MemoryGridText
