// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrimmedSamples.h"

#include "FieldValue.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

namespace {

// The smallest kept value counts once more in the spread, with this weight.
constexpr double SmallestKeptWeight = 4.8;

} // namespace

TrimmedSamples::TrimmedSamples(std::vector<int> values) : m_sorted(std::move(values))
{
    Q_ASSERT(count() >= MinimumCount);
    std::sort(m_sorted.begin(), m_sorted.end(), std::greater<>());
}

std::span<const int> TrimmedSamples::kept() const
{
    return std::span<const int>(m_sorted).subspan(TrimmedAtEachEnd,
                                                  static_cast<std::size_t>(keptCount()));
}

int TrimmedSamples::keptSum() const
{
    const auto values = kept();
    return std::accumulate(values.begin(), values.end(), 0);
}

float TrimmedSamples::mean() const
{
    return static_cast<float>(keptSum()) / static_cast<float>(keptCount());
}

double TrimmedSamples::spreadRoot(double centre) const
{
    auto square = [centre](int value) { return (value - centre) * (value - centre); };
    qint64 sum = 0;
    for (const int value : kept())
        sum = FieldValue::roundHalfEven(static_cast<double>(sum) + square(value));
    sum = FieldValue::roundHalfEven(static_cast<double>(sum) +
                                    SmallestKeptWeight * square(kept().back()));
    return std::sqrt(static_cast<double>(sum) / (count() - 1));
}

int TrimmedSamples::flooredSpread() const
{
    return static_cast<int>(std::floor(spreadRoot(mean())));
}

int TrimmedSamples::roundedAbove(float mean)
{
    const float whole = std::floor(mean);
    return static_cast<int>(whole) + (mean - whole > 0.5F ? 2 : 1);
}
