#include "SamplingStatistics.h"

#include "FieldValue.h"
#include "ParameterMap.h"
#include "SelectorImage.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <span>

namespace {

constexpr int N = SamplingStatistics::SampleCount;
constexpr int Trimmed = 2; // dropped at each end of the sorted list
constexpr int KeptCount = N - 2 * Trimmed;
// The smallest kept value counts once more in the spread, with this weight.
constexpr double SmallestKeptWeight = 4.8;
constexpr int MaxByte = 255;

using Values = std::array<int, N>;

Values sortedDescending(const SamplingStatistics::Samples& samples, int CoinSample::*field)
{
    Values values{};
    std::transform(samples.begin(), samples.end(), values.begin(),
                   [field](const CoinSample& sample) { return sample.*field; });
    std::sort(values.begin(), values.end(), std::greater<>());
    return values;
}

std::span<const int> kept(const Values& sorted)
{
    return std::span<const int>(sorted).subspan(Trimmed, KeptCount);
}

int keptSum(const Values& sorted)
{
    const auto values = kept(sorted);
    return std::accumulate(values.begin(), values.end(), 0);
}

int flooredMean(const Values& sorted)
{
    return keptSum(sorted) / KeptCount;
}

// One above the floor of the mean when its fraction is at most a half, else two above.
int oddlyRoundedMean(const Values& sorted)
{
    const int sum = keptSum(sorted);
    const bool fractionAtMostHalf = 2 * (sum % KeptCount) <= KeptCount;
    return sum / KeptCount + (fractionAtMostHalf ? 1 : 2);
}

// The sum of squares is rounded, ties to even, after every term. The mean is a multiple of
// 1/8, so every square is exact in a double and a tie is a real tie.
int spread(const Values& sorted)
{
    const double mean = static_cast<double>(keptSum(sorted)) / KeptCount;
    auto square = [mean](int value) { return (value - mean) * (value - mean); };
    qint64 sum = 0;
    for (const int value : kept(sorted))
        sum = FieldValue::roundHalfEven(static_cast<double>(sum) + square(value));
    sum = FieldValue::roundHalfEven(static_cast<double>(sum) +
                                    SmallestKeptWeight * square(kept(sorted).back()));
    return static_cast<int>(std::floor(std::sqrt(static_cast<double>(sum) / (N - 1))));
}

QString hex(int value)
{
    return QString::number(value, 16).toUpper();
}

} // namespace

SamplingStatistics::SamplingStatistics(const Samples& samples)
{
    const Values ab = sortedDescending(samples, &CoinSample::ab);
    const Values x = sortedDescending(samples, &CoinSample::x);
    const Values y = sortedDescending(samples, &CoinSample::y);
    const Values dH = sortedDescending(samples, &CoinSample::dH);
    m_abReference = flooredMean(ab);
    m_xReference = flooredMean(x);
    m_yReference = oddlyRoundedMean(y);
    m_dHReference = oddlyRoundedMean(dH);
    m_ySpread = spread(y);
    m_dHSpread = spread(dH);
}

int SamplingStatistics::storedY() const
{
    return std::min(m_yReference, MaxByte);
}

int SamplingStatistics::storedDH() const
{
    return std::min(m_dHReference, MaxByte);
}

void SamplingStatistics::writeTo(SelectorImage& image, int channel, bool keepTolerance) const
{
    const int coin = channel + 1;
    image.setNumber(ParameterMap::ea(coin), m_abReference % 256);
    image.setNumber(ParameterMap::eb(coin), m_abReference / 256);
    if (!keepTolerance)
        image.setNumber(ParameterMap::cgma(coin), AbTolerance);
    image.setNumber(ParameterMap::mad(coin), m_xReference);
    image.setNumber(ParameterMap::m1(coin), storedY());
    image.setNumber(ParameterMap::m2(coin), storedDH());
}

QString SamplingStatistics::summaryText() const
{
    // The tolerance is shown even when it was kept; the two fields after it are always 0.
    return QStringLiteral("Sampling ok :%1 %2 %3 0 0 %4 (%5 %6) (%7 %8)")
        .arg(hex(m_abReference % 256), hex(m_abReference / 256), hex(AbTolerance),
             hex(m_xReference), hex(m_ySpread), hex(storedY()), hex(m_dHSpread), hex(storedDH()));
}
