// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrimmedSamples.h"

// What a run's statistics made of one measurement, for showing beside the bytes the run stores.
struct MeasurementResult
{
    TrimmedSamples samples; // which coins were kept, and their mean
    int reference;          // as the result line shows it, in decimal
    int spread;             // around the mean of the kept values
};
