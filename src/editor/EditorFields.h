// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ParameterMap.h"

#include <QString>

#include <array>
#include <cstddef>

class SelectorImage;

// Every field of the parameter editor as plain values, filled from the image and written back
// to it.
//
// A choice field holds the number decomposed from its cell even when no list entry shows it
// (a Disable of 2 from a stored 300, a tolerance C of 16 from an MT1 of 256, an inhibit level of
// -1 from -1): composing it again gives back the bits it came from, so a field the user does not
// touch never changes what is stored for it. A numeric text field holds its scroll bar's
// position, the cell's value rounded half to even, where the bar can show it (0 to 255), and
// otherwise the value as plain decimal text, so that values beyond the bar survive. The only
// changes an untouched open-and-write-back makes are the write-back rules' own: empty or
// non-numeric text becomes its number, a value the bar shows becomes that whole number, a
// choice cell is rounded to a whole number, bits 4-6 of the output mode cell are cleared and a
// mode of 12 to 15 becomes mode 0.
struct EditorFields
{
    // The numeric text fields, in the order they are written back.
    enum NumericField : std::size_t
    {
        SignalTime,
        TimerScaleA,
        TimerScaleB,
        PriceA,
        MultiplyFactorA,
        DivideFactorA,
        PriceB,
        MultiplyFactorB,
        DivideFactorB,
        NumericFieldCount
    };

    static constexpr std::array<int, NumericFieldCount> NumericAddresses{
        ParameterMap::SignalTime, ParameterMap::TimerScaleA,     ParameterMap::TimerScaleB,
        ParameterMap::PriceA,     ParameterMap::MultiplyFactorA, ParameterMap::DivideFactorA,
        ParameterMap::PriceB,     ParameterMap::MultiplyFactorB, ParameterMap::DivideFactorB};

    // Highest position of a numeric field's scroll bar.
    static constexpr int ScrollMaximum = 255;

    struct Coin
    {
        QString money;
        int toleranceA = 0;
        int toleranceB = 0;
        int toleranceC = 0;
        int disable = 0;
        int separator = 0;

        bool operator==(const Coin& other) const = default;
    };

    int outputMode = 0; // list entry 0 to 11
    int inhibitLevel = 0;
    std::array<QString, NumericFieldCount> numeric;
    std::array<Coin, ParameterMap::CoinCount> coins;

    static EditorFields fromImage(const SelectorImage& image);
    // Writes cell 84, the numeric and money texts, CoinFlags (keeping each cell's bit 6) and
    // MT1, in that order; no other cell is touched.
    void writeTo(SelectorImage& image) const;

    // Position a numeric field's scroll bar takes for the text in its box.
    static int scrollPosition(const QString& text);

    bool operator==(const EditorFields& other) const = default;
};
