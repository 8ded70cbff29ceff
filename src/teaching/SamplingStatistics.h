// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeasurementResult.h"
#include "TrimmedSamples.h"

#include <QString>

#include <array>
#include <vector>

class SelectorImage;

// One accepted coin report, as far as teaching uses it.
struct CoinSample
{
    int ab = 0; // A·256 + B
    int x = 0;
    int y = 0;
    int dH = 0;
};

// A channel's references from the twelve coins of one teaching run. Each measurement is sorted
// in descending order and trimmed of its two largest and two smallest values; the references
// are means of the eight kept values.
class SamplingStatistics
{
public:
    static constexpr int SampleCount = 12;
    // The acceptance band that teaching gives the AB measurement (CGMA).
    static constexpr int AbTolerance = 10;
    using Samples = std::array<CoinSample, SampleCount>;

    explicit SamplingStatistics(const Samples& samples);

    int abReference() const { return m_abReference; }
    int xReference() const { return m_xReference; }
    // The Y and dH references as computed: one above the mean when its fraction is at most a
    // half, two above it otherwise. With values at the top of the byte range they exceed 255.
    int yReference() const { return m_yReference; }
    int dHReference() const { return m_dHReference; }
    int ySpread() const { return m_ySpread; }
    int dHSpread() const { return m_dHSpread; }

    // Writes the references into the record of channel 0..11 (coin channel + 1) and nothing
    // else: EA, EB, MAD, M1, M2, and CGMA unless keepTolerance. References above 255 are stored
    // as 255, the most a byte holds.
    void writeTo(SelectorImage& image, int channel, bool keepTolerance) const;
    // "Sampling ok :34 12 A 0 0 50 (0 81) (0 7F)": the bytes written, in hexadecimal.
    QString summaryText() const;
    // AB, X, Y and dH in this order, with the references the result line shows.
    std::vector<MeasurementResult> measurements() const;

private:
    int storedY() const;
    int storedDH() const;

    TrimmedSamples m_ab;
    TrimmedSamples m_x;
    TrimmedSamples m_y;
    TrimmedSamples m_dH;
    int m_abReference;
    int m_xReference;
    int m_yReference;
    int m_dHReference;
    int m_ySpread;
    int m_dHSpread;
};
