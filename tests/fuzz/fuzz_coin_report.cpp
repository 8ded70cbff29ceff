// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinReport.h"

#include <cstdint>
#include <cstdlib>

// Coin reports on arbitrary, often short, input: no read past the bytes received, and a report
// taken for teaching only when it is complete, intact and its AB fits fifteen bits.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto report = CoinReport::fromBytes(bytes);
    if (report.has_value() != (size >= CoinReport::Size))
        std::abort();
    if (!report)
        return 0;
    if (report->isAcceptedForTeaching() && (!report->hasValidChecksums() || report->ab() > 32767))
        std::abort();
    if (report->isSpeedStrange() && report->speedWarningText().isEmpty())
        std::abort();
    return 0;
}
