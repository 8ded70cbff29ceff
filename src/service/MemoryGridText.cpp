// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryGridText.h"

#include <QRegularExpression>

namespace MemoryGridText {

std::optional<int> byteValue(const QString& text, bool hexadecimal)
{
    // Digits only: no sign, point, exponent or "0x", which the number parsers would take.
    static const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]{1,2}$"));
    static const QRegularExpression decimalDigits(QStringLiteral("^[0-9]+$"));
    const QString digits = text.trimmed();
    if (!(hexadecimal ? hexDigits : decimalDigits).match(digits).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = digits.toInt(&ok, hexadecimal ? 16 : 10);
    if (!ok || value > 255)
        return std::nullopt;
    return value;
}

QString byteText(int value, bool hexadecimal)
{
    return QString::number(value, hexadecimal ? 16 : 10).toUpper();
}

} // namespace MemoryGridText
