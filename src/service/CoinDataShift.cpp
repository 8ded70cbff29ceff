// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataShift.h"

#include "SelectorImage.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double MaxByte = 255.0;
constexpr double MaxAbReference = 65535.0;
constexpr double ResponseRange = 5.0;

// An M1 outside this range after the shift means the channel must be taught again.
constexpr double HighestGoodM1 = 100.0;
constexpr double LowestGoodM1 = 43.0;

QString numberText(double value)
{
    return QString::number(value, 'g', 15);
}

// A reference that a shift left at 0 or beyond what the selector holds no longer says anything.
bool isKept(double shifted, double maximum)
{
    return shifted > 0.0 && shifted <= maximum;
}

} // namespace

double CoinDataShift::response(double value)
{
    return ResponseRange * (1.0 - std::exp(-ResponseConstant * value));
}

double CoinDataShift::inverseResponse(double response)
{
    return -std::log(1.0 - response / ResponseRange) / ResponseConstant;
}

CoinDataShift::Record CoinDataShift::secondRecord(const SelectorImage& image)
{
    Record record{};
    const int first = ParameterMap::calibrationRecord(2);
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = image.value(first + static_cast<int>(i));
    return record;
}

CoinDataShift::CoinDataShift(const Record& fileRecord, const Record& selectorRecord)
    : m_abShift((256.0 * selectorRecord[1] + selectorRecord[0]) -
                (256.0 * fileRecord[1] + fileRecord[0])),
      m_xyShift(selectorRecord[2] - fileRecord[2]),
      m_responseShift(response(selectorRecord[3]) - response(fileRecord[3]))
{
}

QString CoinDataShift::apply(SelectorImage& image) const
{
    QString channels = QStringLiteral(" ");
    for (int coin = 1; coin <= ParameterMap::CoinCount; ++coin) {
        const bool taught = image.value(ParameterMap::m1(coin)) != 0.0 ||
                            image.value(ParameterMap::mad(coin)) != 0.0 ||
                            abReference(image, coin) != 0.0;
        const bool m1Kept = shiftM1(image, coin);
        const bool madKept = shiftMad(image, coin);
        const bool abKept = shiftAbReference(image, coin);
        // Below 43 takes in an M1 of 1 or less, which is as good as none.
        const double m1 = image.value(ParameterMap::m1(coin));
        const bool outOfRange = m1 > HighestGoodM1 || m1 < LowestGoodM1;
        if (taught && (outOfRange || !m1Kept || !madKept || !abKept))
            channels += QStringLiteral("Ch_%1, ").arg(coin);
    }
    return channels;
}

double CoinDataShift::abReference(const SelectorImage& image, int coin)
{
    return 256.0 * image.value(ParameterMap::eb(coin)) + image.value(ParameterMap::ea(coin));
}

bool CoinDataShift::shiftM1(SelectorImage& image, int coin) const
{
    const int address = ParameterMap::m1(coin);
    const double value = image.value(address);
    if (!(value > 0.0)) {
        image.setCell(address, QStringLiteral("0"));
        return true;
    }
    const double shifted = response(value) + m_responseShift;
    if (shifted >= ResponseRange) {
        image.setNumber(address, static_cast<qint64>(MaxByte));
        return false;
    }
    const double m1 = inverseResponse(shifted);
    image.setCell(address, numberText(std::clamp(m1, 0.0, MaxByte)));
    return m1 >= 0.0 && m1 <= MaxByte;
}

bool CoinDataShift::shiftMad(SelectorImage& image, int coin) const
{
    const int address = ParameterMap::mad(coin);
    const double value = image.value(address);
    if (value == 0.0) {
        image.setCell(address, QStringLiteral("0"));
        return true;
    }
    const double shifted = value + m_xyShift;
    image.setCell(address, numberText(std::clamp(shifted, 0.0, MaxByte)));
    return isKept(shifted, MaxByte);
}

bool CoinDataShift::shiftAbReference(SelectorImage& image, int coin) const
{
    const double reference = abReference(image, coin);
    const double shifted = reference == 0.0 ? 0.0 : reference + m_abShift;
    const double bounded = std::clamp(shifted, 0.0, MaxAbReference);
    const double highByte = std::floor(bounded / 256.0);
    image.setCell(ParameterMap::eb(coin), numberText(highByte));
    image.setCell(ParameterMap::ea(coin), numberText(bounded - 256.0 * highByte));
    return reference == 0.0 || isKept(shifted, MaxAbReference);
}
