// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The memory window's boxes show each byte in decimal or in hexadecimal; these convert one
// box's text between the two.
namespace MemoryGridText {

// A hexadecimal box as decimal, by its first two characters (a single one reads as "0" and
// it); lower-case letters count as upper-case, and the result is limited to 0..255.
QString toDecimal(const QString& hexadecimal);

// The number a decimal box begins with (0 if none), rounded half to even and limited to
// 0..255, in upper-case hexadecimal without leading zeros.
QString toHexadecimal(const QString& decimal);

} // namespace MemoryGridText
