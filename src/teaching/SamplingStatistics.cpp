// SPDX-License-Identifier: GPL-3.0-or-later
#include "SamplingStatistics.h"

#include "ParameterMap.h"
#include "SelectorImage.h"

#include <algorithm>

namespace {

constexpr int MaxByte = 255;

QString hex(int value)
{
    return QString::number(value, 16).toUpper();
}

} // namespace

SamplingStatistics::SamplingStatistics(const Samples& samples)
    : m_ab(TrimmedSamples::of(samples, &CoinSample::ab)),
      m_x(TrimmedSamples::of(samples, &CoinSample::x)),
      m_y(TrimmedSamples::of(samples, &CoinSample::y)),
      m_dH(TrimmedSamples::of(samples, &CoinSample::dH)), m_abReference(m_ab.flooredMean()),
      m_xReference(m_x.flooredMean()), m_yReference(TrimmedSamples::roundedAbove(m_y.mean())),
      m_dHReference(TrimmedSamples::roundedAbove(m_dH.mean())), m_ySpread(m_y.flooredSpread()),
      m_dHSpread(m_dH.flooredSpread())
{
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

std::vector<MeasurementResult> SamplingStatistics::measurements() const
{
    // The result line gives no spread for AB and X; theirs is taken as Y's and dH's is.
    return {{m_ab, m_abReference, m_ab.flooredSpread()},
            {m_x, m_xReference, m_x.flooredSpread()},
            {m_y, storedY(), m_ySpread},
            {m_dH, storedDH(), m_dHSpread}};
}
