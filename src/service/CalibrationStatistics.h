// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeasurementResult.h"
#include "TrimmedSamples.h"

#include <QList>
#include <QString>

#include <array>
#include <vector>

class SelectorImage;

// One accepted coin report, as far as calibration uses it.
struct CalibrationSample
{
    int ab = 0; // A·256 + B
    int xy = 0; // X·256 + Y
    int dH = 0;
};

// The calibration record of a selector from the reference coins of one calibration run. Each
// measurement is sorted in descending order and trimmed of its two largest and two smallest
// values; the record holds the AB mean, the high byte of the XY mean and BM, the dH mean
// rounded with halves going down plus one.
class CalibrationStatistics
{
public:
    static constexpr int SampleCount = 40;
    // A selector whose BM falls outside this band, or whose AB mean has another high byte,
    // does not measure the reference coin as it should.
    static constexpr int LowestBm = 65;
    static constexpr int HighestBm = 105;
    static constexpr int ExpectedAbHigh = 28;

    // At least five samples (forty in a run).
    explicit CalibrationStatistics(const QList<CalibrationSample>& samples);

    int abLow() const { return m_abMean % 256; }
    int abHigh() const { return m_abMean / 256; }
    int xyLow() const { return m_xyMean % 256; }
    int xyHigh() const { return m_xyMean / 256; }
    // The dH mean rounded with halves going down, plus one; at most 255.
    int bm() const { return m_bm; }

    // The record's four bytes in address order: AB low, AB high, XY high, BM. A BM above 255
    // (dH near the top of its range) is stored as 255, the most a byte holds.
    std::array<int, 4> record() const;
    // Into the record of token 1 (120..123) or 2 (124..127); false for any other token, which
    // names no record and stores nothing.
    bool writeTo(SelectorImage& image, int token) const;

    // "Sampling ok :20 1C 0 0 0 6B 0 46": AB low and high, the AB spread twice, XY low and
    // high, the dH spread and BM, in hexadecimal.
    QString summaryText() const;
    // The warning that the selector is to be sorted out, or empty when it passes both checks.
    QString rejectText() const;
    // What fails the checks in a record of this AB high byte and BM, as "BD = 27" or "BM = 64";
    // empty when it passes both. A wrong AB high byte is named in place of a BM outside its band.
    static QString limitFault(double abHigh, double bm);
    // AB, XY and dH in this order; dH's reference is BM.
    std::vector<MeasurementResult> measurements() const;

    // "  1C206B4645": AB, XY and dH of a sample in hexadecimal, run together.
    static QString sampleText(const CalibrationSample& sample);

private:
    TrimmedSamples m_ab;
    TrimmedSamples m_xy;
    TrimmedSamples m_dH;
    int m_abMean;
    int m_abSpread;
    int m_xyMean;
    int m_dHSpread;
    int m_bm;
};
