// SPDX-License-Identifier: GPL-3.0-or-later
#include "EchoTally.h"

void EchoTally::record(bool requestCopy)
{
    ++m_replies;
    if (requestCopy)
        ++m_copies;
}

bool EchoTally::onlyEchoed(bool lineEchoes) const
{
    return m_copies > 0 && (m_copies == m_replies || lineEchoes);
}

QString EchoTally::text()
{
    return QStringLiteral("only the echo of each request came back: no selector answers on this "
                          "line (a loopback plug, or an adapter with local echo and no selector)");
}
