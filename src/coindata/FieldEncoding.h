// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The editable fields packed into single parameter bytes. Each works on the cell's value already
// rounded half to even (SelectorImage::roundedValue).
//
// Decomposition is plain integer arithmetic with mathematical floor and modulo, so it is defined
// for every value: a value outside 0..255 gives fields outside their lists (a negative value
// gives a negative quotient field, -1 gives disable -1, separator 3 and tolerance A 15), and a
// quotient beyond the range of int saturates. Clamping such fields is up to whoever shows them.
// Composition is the plain formula; it expects each field in its range.

// CoinFlags of a coin: bit 7 disable, bit 6 kept as it was, bits 5-4 separator, bits 3-0
// tolerance A.
struct CoinFlags
{
    int disable = 0;
    int separator = 0;
    int toleranceA = 0;

    static CoinFlags decompose(qint64 value);
    // Bit 6 has no field; it is carried over from the cell's value before the write.
    qint64 compose(qint64 previousValue) const;
};

// OutputMode: bits 3-0 the mode (stored number 0 to 11), bit 7 the inhibit level; bits 6-4 are
// cleared on every write.
struct OutputModeField
{
    int mode = 0;
    int level = 0;

    static OutputModeField decompose(qint64 value);
    qint64 compose() const;
};

// MT1 of a coin: bits 3-0 tolerance B, bits 7-4 tolerance C.
struct Mt1Field
{
    int toleranceB = 0;
    int toleranceC = 0;

    static Mt1Field decompose(qint64 value);
    qint64 compose() const;
};
