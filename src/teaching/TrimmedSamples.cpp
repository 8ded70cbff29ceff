// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrimmedSamples.h"

#include "FieldValue.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// The smallest kept value counts once more in the spread, with this weight.
constexpr double SmallestKeptWeight = 4.8;

} // namespace

TrimmedSamples::TrimmedSamples(std::vector<int> values)
    : m_sorted(values.size()), m_rank(values.size())
{
    Q_ASSERT(count() >= MinimumCount);
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&values](std::size_t l, std::size_t r) { return values[l] > values[r]; });
    for (std::size_t position = 0; position < order.size(); ++position) {
        m_sorted[position] = values[order[position]];
        m_rank[order[position]] = static_cast<int>(position);
    }
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

bool TrimmedSamples::isKept(int arrival) const
{
    const int position = m_rank.at(static_cast<std::size_t>(arrival));
    return position >= TrimmedAtEachEnd && position < TrimmedAtEachEnd + keptCount();
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
