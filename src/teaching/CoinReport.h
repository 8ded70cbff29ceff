// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkFrame.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The ten-byte message the selector sends for every coin while it teaches or calibrates: two
// five-byte groups, each closed by the low byte of the sum of its first four bytes.
//   0 code, 1 A, 2 B, 3 C, 4 checksum | 5 spare, 6 X, 7 Y, 8 dH, 9 checksum
class CoinReport
{
public:
    static constexpr int Size = 10;
    // The selector found the coin's speed abnormal; the report is still a measurement.
    static constexpr quint8 SpeedStrangeCode = 0x92;

    // The first ten bytes as a report; nothing when fewer arrived. Bytes after them are not
    // part of it.
    static std::optional<CoinReport> fromBytes(const QByteArray& bytes);

    quint8 code() const { return m_first.at(0); }
    quint8 a() const { return m_first.at(1); }
    quint8 b() const { return m_first.at(2); }
    quint8 c() const { return m_first.at(3); }
    quint8 x() const { return m_second.at(1); }
    quint8 y() const { return m_second.at(2); }
    quint8 dH() const { return m_second.at(3); }
    // A·256 + B; 0..32767 for a report that teaching accepts.
    int ab() const { return a() * 256 + b(); }
    // X·256 + Y, the measurement calibration takes from X and Y.
    int xy() const { return x() * 256 + y(); }

    bool hasValidChecksums() const
    {
        return m_first.hasValidChecksum() && m_second.hasValidChecksum();
    }
    bool isSpeedStrange() const { return code() == SpeedStrangeCode; }
    // Teaching takes a report only when both checksums match and A is below 128: AB is a
    // 15-bit quantity, so a larger A is as untrustworthy as a bad checksum.
    bool isAcceptedForTeaching() const;

    // "speed strange : A=12B=34C=5X=6Y=7dH=8"
    QString speedWarningText() const;

private:
    // Each group has the shape of a link frame, with the same checksum rule.
    CoinReport(const LinkFrame& first, const LinkFrame& second) : m_first(first), m_second(second)
    {
    }

    LinkFrame m_first;
    LinkFrame m_second;
};
