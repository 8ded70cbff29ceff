// SPDX-License-Identifier: GPL-3.0-or-later
#include "DefaultSets.h"

#include "ParameterMap.h"
#include "SelectorImage.h"

namespace DefaultSets {

namespace {

using namespace ParameterMap;

void setZeroUpTo(SelectorImage& image, int endAddress)
{
    for (int address = 0; address < endAddress; ++address)
        image.setNumber(address, 0);
}

void setForEveryCoin(SelectorImage& image, int (*addressOf)(int), qint64 value)
{
    for (int coin = 1; coin <= CoinCount; ++coin)
        image.setNumber(addressOf(coin), value);
}

void setPricesFactorsAndTimerScales(SelectorImage& image)
{
    for (const int address : {PriceA, MultiplyFactorA, DivideFactorA, PriceB, MultiplyFactorB,
                              DivideFactorB, TimerScaleA, TimerScaleB})
        image.setNumber(address, 1);
}

} // namespace

void applyMainWindowDefaults(SelectorImage& image)
{
    setZeroUpTo(image, calibrationRecord(1));
    setForEveryCoin(image, coinFlags, 10);
    image.setNumber(OutputMode, 128);
    setPricesFactorsAndTimerScales(image);
    image.setNumber(SignalTime, 50);
    setForEveryCoin(image, mt1, 85);
}

void applyEditorDefaults(SelectorImage& image)
{
    // The zero fill already leaves every coin enabled, separator 0 and tolerance A 0.
    setZeroUpTo(image, SelectorImage::CellCount);
    setForEveryCoin(image, tld, 170);
    setForEveryCoin(image, mt1, 85);
    setForEveryCoin(image, mt2, 153);
    image.setNumber(OutputMode, 129);
    setPricesFactorsAndTimerScales(image);
    image.setNumber(SignalTime, 100);
}

} // namespace DefaultSets
