// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationStatistics.h"

#include "FieldValue.h"
#include "ParameterMap.h"
#include "SelectorImage.h"

#include <algorithm>

namespace {

constexpr int MaxByte = 255;
const QString RejectText = QStringLiteral(" 請剔出本台投幣器 !! ");

QString hex(int value)
{
    return QString::number(value, 16).toUpper();
}

} // namespace

CalibrationStatistics::CalibrationStatistics(const QList<CalibrationSample>& samples)
    : m_ab(TrimmedSamples::of(samples, &CalibrationSample::ab)),
      m_xy(TrimmedSamples::of(samples, &CalibrationSample::xy)),
      m_dH(TrimmedSamples::of(samples, &CalibrationSample::dH)), m_abMean(m_ab.flooredMean()),
      // AB spreads around its floored mean and is rounded; dH around its exact mean, floored.
      m_abSpread(static_cast<int>(FieldValue::roundHalfEven(m_ab.spreadRoot(m_abMean)))),
      m_xyMean(m_xy.flooredMean()), m_dHSpread(m_dH.flooredSpread()),
      // A dH mean above 254.5 would give 256; the lines and the checks say the stored byte.
      m_bm(std::min(TrimmedSamples::roundedAbove(m_dH.mean()), MaxByte))
{
}

std::array<int, 4> CalibrationStatistics::record() const
{
    return {abLow(), abHigh(), xyHigh(), m_bm};
}

bool CalibrationStatistics::writeTo(SelectorImage& image, int token) const
{
    if (token != 1 && token != 2)
        return false;
    const int first = ParameterMap::calibrationRecord(token);
    const std::array<int, 4> bytes = record();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        image.setNumber(first + static_cast<int>(i), bytes[i]);
    return true;
}

QString CalibrationStatistics::summaryText() const
{
    return QStringLiteral("Sampling ok :%1 %2 %3 %3 %4 %5 %6 %7")
        .arg(hex(abLow()), hex(abHigh()), hex(m_abSpread), hex(xyLow()), hex(xyHigh()),
             hex(m_dHSpread), hex(m_bm));
}

QString CalibrationStatistics::rejectText() const
{
    const QString fault = limitFault(abHigh(), m_bm);
    return fault.isEmpty() ? QString() : RejectText + QStringLiteral(" (%1)").arg(fault);
}

QString CalibrationStatistics::limitFault(double abHigh, double bm)
{
    if (abHigh != ExpectedAbHigh)
        return QStringLiteral("BD = %1").arg(abHigh);
    if (bm < LowestBm || bm > HighestBm)
        return QStringLiteral("BM = %1").arg(bm);
    return QString();
}

std::vector<MeasurementResult> CalibrationStatistics::measurements() const
{
    // The result line gives no spread for XY; its is taken as dH's is.
    return {{m_ab, m_abMean, m_abSpread},
            {m_xy, m_xyMean, m_xy.flooredSpread()},
            {m_dH, m_bm, m_dHSpread}};
}

QString CalibrationStatistics::sampleText(const CalibrationSample& sample)
{
    return QStringLiteral("  ") + hex(sample.ab) + hex(sample.xy) + hex(sample.dH);
}
