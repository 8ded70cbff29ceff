// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorFields.h"

#include "FieldEncoding.h"
#include "FieldValue.h"
#include "SelectorImage.h"

#include <QLocale>

#include <algorithm>

namespace {

// The value as plain decimal text: shortest digits that read back as the same number, never
// an exponent, so the text stays a number for every reader of the cell.
QString decimalText(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

// A numeric box opens with its bar's position where the bar can show the value, since that is
// the byte the selector gets; a value beyond the bar keeps its own text, so 300 stays 300
// instead of becoming 255.
QString numericText(double value)
{
    const qint64 rounded = FieldValue::roundHalfEven(value);
    if (rounded >= 0 && rounded <= EditorFields::ScrollMaximum)
        return QString::number(rounded);
    return decimalText(value);
}

int coinNumber(std::size_t index)
{
    return static_cast<int>(index) + 1;
}

} // namespace

EditorFields EditorFields::fromImage(const SelectorImage& image)
{
    EditorFields fields;

    const OutputModeField output =
        OutputModeField::decompose(image.roundedValue(ParameterMap::OutputMode));
    // Modes 12 to 15 have no entry; they open as the first one.
    fields.outputMode = output.mode < ParameterMap::OutputModeCount ? output.mode : 0;

    for (std::size_t i = 0; i < NumericFieldCount; ++i)
        fields.numeric[i] = numericText(image.value(NumericAddresses[i]));

    for (std::size_t i = 0; i < fields.coins.size(); ++i) {
        const int c = coinNumber(i);
        Coin& coin = fields.coins[i];
        coin.money = numericText(image.value(ParameterMap::money(c)));
        const CoinFlags flags =
            CoinFlags::decompose(image.roundedValue(ParameterMap::coinFlags(c)));
        const Mt1Field mt1 = Mt1Field::decompose(image.roundedValue(ParameterMap::mt1(c)));
        coin.toleranceA = flags.toleranceA;
        coin.toleranceB = mt1.toleranceB;
        coin.toleranceC = mt1.toleranceC;
        coin.disable = flags.disable;
        coin.separator = flags.separator;
    }

    fields.inhibitLevel = output.level;
    return fields;
}

void EditorFields::writeTo(SelectorImage& image) const
{
    image.setNumber(ParameterMap::OutputMode,
                    OutputModeField{.mode = outputMode, .level = inhibitLevel}.compose());

    for (std::size_t i = 0; i < NumericFieldCount; ++i)
        image.setCell(NumericAddresses[i], numeric[i]);
    for (std::size_t i = 0; i < coins.size(); ++i)
        image.setCell(ParameterMap::money(coinNumber(i)), coins[i].money);

    for (std::size_t i = 0; i < coins.size(); ++i) {
        const int address = ParameterMap::coinFlags(coinNumber(i));
        const CoinFlags flags{.disable = coins[i].disable,
                              .separator = coins[i].separator,
                              .toleranceA = coins[i].toleranceA};
        image.setNumber(address, flags.compose(image.roundedValue(address)));
    }

    for (std::size_t i = 0; i < coins.size(); ++i) {
        const Mt1Field mt1{.toleranceB = coins[i].toleranceB, .toleranceC = coins[i].toleranceC};
        image.setNumber(ParameterMap::mt1(coinNumber(i)), mt1.compose());
    }
}

int EditorFields::scrollPosition(const QString& text)
{
    const qint64 rounded = FieldValue::roundHalfEven(FieldValue::readFieldValue(text));
    return static_cast<int>(std::clamp<qint64>(rounded, 0, ScrollMaximum));
}
