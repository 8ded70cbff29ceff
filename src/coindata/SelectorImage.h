// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// The PC-side working copy of the selector's parameter memory: 256 cells of text, index =
// address. Cells 0..188 mirror the selector; 189..255 exist only on the PC and in files.
class SelectorImage
{
public:
    static constexpr int CellCount = 256;
    static constexpr int SelectorByteCount = 189; // addresses 0..188 exist in the selector

    static constexpr bool isValidAddress(int address)
    {
        return address >= 0 && address < CellCount;
    }

    // Text of a cell; an address outside 0..255 reads as an empty cell.
    const QString& cell(int address) const;
    // Every cell in address order.
    const std::array<QString, CellCount>& cells() const { return m_cells; }
    // Writes outside 0..255 are ignored.
    void setCell(int address, const QString& text);
    void setNumber(int address, qint64 value);

    // Numeric value of a cell by the field-value rule (empty or non-numeric text is 0).
    double value(int address) const;
    // Value rounded half to even, as used before AND, mod and division.
    qint64 roundedValue(int address) const;
    // Byte sent to the selector for this cell.
    quint8 selectorByte(int address) const;

    bool operator==(const SelectorImage& other) const = default;

private:
    std::array<QString, CellCount> m_cells;
};
