// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldValue.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace FieldValue {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Length of the longest prefix of text[from..] that is a decimal number with optional
// fraction and exponent.
qsizetype numberLength(const QString& text, qsizetype from)
{
    qsizetype i = from;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    // An exponent counts only when it is complete ("1e" is the number 1 followed by text).
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return i - from;
}

// Nearest whole number, halves to even, whatever rounding mode the caller left set.
double nearestEven(double value)
{
    const int previousMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previousMode);
    return rounded;
}

} // namespace

std::optional<double> leadingNumber(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() &&
           (text[start] == QLatin1Char(' ') || text[start] == QLatin1Char('\t')))
        ++start;
    const qsizetype length = numberLength(text, start);
    if (length == 0)
        return std::nullopt;
    bool ok = false;
    const double value = text.mid(start, length).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double readFieldValue(const QString& text)
{
    return leadingNumber(text).value_or(0.0);
}

qint64 roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    constexpr double limit = 9.2e18; // just inside qint64
    const double rounded = nearestEven(value);
    if (rounded >= limit)
        return static_cast<qint64>(limit);
    if (rounded <= -limit)
        return -static_cast<qint64>(limit);
    return static_cast<qint64>(rounded);
}

quint8 toSelectorByte(const QString& text)
{
    // fmod on the rounded double stays exact for every magnitude, unlike a cast to an integer.
    double reduced = std::fmod(nearestEven(readFieldValue(text)), 256.0);
    if (reduced < 0)
        reduced += 256.0;
    return static_cast<quint8>(reduced);
}

} // namespace FieldValue
