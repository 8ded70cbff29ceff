// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinReport.h"

namespace {

constexpr quint8 MaxTeachingA = 127;

} // namespace

std::optional<CoinReport> CoinReport::fromBytes(const QByteArray& bytes)
{
    const auto first = LinkFrame::fromBytes(bytes);
    const auto second = LinkFrame::fromBytes(bytes.mid(LinkFrame::Size));
    if (!first || !second)
        return std::nullopt;
    return CoinReport(*first, *second);
}

bool CoinReport::isAcceptedForTeaching() const
{
    return hasValidChecksums() && a() <= MaxTeachingA;
}

QString CoinReport::speedWarningText() const
{
    return QStringLiteral("speed strange : A=%1B=%2C=%3X=%4Y=%5dH=%6")
        .arg(a())
        .arg(b())
        .arg(c())
        .arg(x())
        .arg(y())
        .arg(dH());
}
