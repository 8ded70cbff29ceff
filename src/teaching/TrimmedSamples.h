// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <utility>
#include <vector>

// One measurement over the coins of a run, sorted in descending order and trimmed of its two
// largest and two smallest values. Teaching and calibration derive their references and
// spreads from the values kept (positions 3 to N − 2 of the sorted list).
class TrimmedSamples
{
public:
    static constexpr int TrimmedAtEachEnd = 2;
    static constexpr int MinimumCount = 2 * TrimmedAtEachEnd + 1;

    // At least MinimumCount values, in the order the coins came.
    explicit TrimmedSamples(std::vector<int> values);
    // The values of one field of every sample.
    template <typename Samples, typename Sample>
    static TrimmedSamples of(const Samples& samples, int Sample::*field)
    {
        std::vector<int> values;
        for (const Sample& sample : samples)
            values.push_back(sample.*field);
        return TrimmedSamples(std::move(values));
    }

    int count() const { return static_cast<int>(m_sorted.size()); }
    int keptCount() const { return count() - 2 * TrimmedAtEachEnd; }
    std::span<const int> kept() const;
    int keptSum() const;
    // Whether the value of coin `arrival` (0-based, in the order given) is among the kept ones.
    // Of equal values the earlier coin sorts first.
    bool isKept(int arrival) const;
    int flooredMean() const { return keptSum() / keptCount(); }
    // The mean of the kept values in single precision.
    float mean() const;

    // √(V / (N − 1)), where V sums the squared distances of the kept values from centre,
    // rounded to a whole number (halves to even) after every term, and then once more the
    // smallest kept value's, weighted 4.8 and rounded as well.
    double spreadRoot(double centre) const;
    // The spread around the single-precision mean, floored.
    int flooredSpread() const;

    // The mean rounded with halves going down, plus one: one above its floor when the fraction
    // is at most a half, two above otherwise (100.5 gives 101, 100.625 gives 102).
    static int roundedAbove(float mean);

private:
    std::vector<int> m_sorted;
    std::vector<int> m_rank; // each coin's position in m_sorted, in the order the coins came
};
