// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkFrame.h"

#include <QByteArray>

// A coin report as the selector sends it, both checksums right.
inline QByteArray coinReportBytes(quint8 code, quint8 a, quint8 b, quint8 c, quint8 x, quint8 y,
                                  quint8 dH)
{
    return LinkFrame::build(code, a, b, c).toByteArray() +
           LinkFrame::build(0, x, y, dH).toByteArray();
}
