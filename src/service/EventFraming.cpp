// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventFraming.h"

#include "EventDecoder.h"
#include "LinkClock.h"

EventFraming::EventFraming(LinkClock& clock) : m_quiet(clock.createTimer()) {}

EventFraming::~EventFraming() = default;

QList<QByteArray> EventFraming::take(const QByteArray& bytes)
{
    m_pending += bytes;
    QList<QByteArray> messages;
    while (m_pending.size() >= EventDecoder::MessageSize) {
        messages.append(m_pending.first(EventDecoder::MessageSize));
        m_pending.remove(0, EventDecoder::MessageSize);
    }
    if (m_pending.isEmpty())
        m_quiet->stop();
    else if (!bytes.isEmpty())
        m_quiet->start(QuietGapHundredths, [this] { m_pending.clear(); });
    return messages;
}
