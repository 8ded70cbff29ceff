// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ParameterMap.h"

#include <QString>

#include <array>

class SelectorImage;

// Moves coin references taught on one selector to another: the per-coin AB, MAD and M1
// references are shifted by the difference between the two selectors' second calibration
// records, M1 through the sensors' response curve.
class CoinDataShift
{
public:
    // The second calibration record (124..127) as the values its texts stand for.
    using Record = std::array<double, ParameterMap::CalibrationRecordSize>;

    static constexpr double ResponseConstant = 0.014706;

    // r(v) = 5 (1 - e^(-k v)) and its inverse, defined below 5.
    static double response(double value);
    static double inverseResponse(double response);

    static Record secondRecord(const SelectorImage& image);

    // fileRecord is the record of the coin data file, selectorRecord that of this selector.
    CoinDataShift(const Record& fileRecord, const Record& selectorRecord);

    double abShift() const { return m_abShift; }
    double xyShift() const { return m_xyShift; }
    double responseShift() const { return m_responseShift; }

    // Shifts every coin's references in the image and returns the channels to teach again,
    // as " Ch_3, Ch_10, " (a single space when there are none). Results are kept within what
    // the selector can hold: bytes 0..255, the AB reference 0..65535; an M1 beyond the
    // response curve's range becomes 255. A taught channel (any reference not 0) is to be
    // taught again when its M1 ends outside 43..100, or when a reference had to be bounded or
    // was shifted to 0.
    QString apply(SelectorImage& image) const;

private:
    static double abReference(const SelectorImage& image, int coin);
    // Each shifts one reference of a coin; false when the result had to be bounded (or, for
    // MAD and the AB reference, came to 0 from a value).
    bool shiftM1(SelectorImage& image, int coin) const;
    bool shiftMad(SelectorImage& image, int coin) const;
    bool shiftAbReference(SelectorImage& image, int coin) const;

    double m_abShift;
    double m_xyShift;
    double m_responseShift;
};
