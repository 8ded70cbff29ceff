// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Conversions between the text an image cell holds and the numbers computed from it.
namespace FieldValue {

// The finite number the text begins with after leading blanks (a sign, digits with an optional
// fraction, an optional exponent): "  -2.5x" gives -2.5; "abc", "-", "." and "1e999" give none.
std::optional<double> leadingNumber(const QString& text);

// The number the text begins with (leading blanks skipped); 0 when the text does not begin
// with a finite number. "12abc" gives 12, "" gives 0.
double readFieldValue(const QString& text);

// Round to the nearest whole number, halves to even; clamped to the range of qint64 so that
// absurd cell texts ("1e300") give a bounded result instead of undefined behaviour.
qint64 roundHalfEven(double value);

// The byte a cell stands for on the wire: rounded half to even, then reduced modulo 256
// mathematically (-1 gives 255, 300 gives 44).
quint8 toSelectorByte(const QString& text);

} // namespace FieldValue
