// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// The memory window's boxes show each byte in decimal or in hexadecimal. A box is read only if
// it says one byte in the mode shown, so that no text is ever programmed as some other byte.
namespace MemoryGridText {

// One or two hexadecimal digits (either case), or a whole decimal number 0..255; blanks around
// the digits are allowed. Nothing for any other text.
std::optional<int> byteValue(const QString& text, bool hexadecimal);

// A byte as a box shows it: decimal, or upper-case hexadecimal without leading zeros.
QString byteText(int value, bool hexadecimal);

} // namespace MemoryGridText
