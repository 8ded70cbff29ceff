// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectorImage.h"

#include "FieldValue.h"

const QString& SelectorImage::cell(int address) const
{
    static const QString empty;
    if (!isValidAddress(address))
        return empty;
    return m_cells[static_cast<std::size_t>(address)];
}

void SelectorImage::setCell(int address, const QString& text)
{
    if (isValidAddress(address))
        m_cells[static_cast<std::size_t>(address)] = text;
}

void SelectorImage::setNumber(int address, qint64 value)
{
    setCell(address, QString::number(value));
}

double SelectorImage::value(int address) const
{
    return FieldValue::readFieldValue(cell(address));
}

qint64 SelectorImage::roundedValue(int address) const
{
    return FieldValue::roundHalfEven(value(address));
}

quint8 SelectorImage::selectorByte(int address) const
{
    return FieldValue::toSelectorByte(cell(address));
}
