// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkListener.h"

#include "EventDecoder.h"
#include "SelectorLink.h"

LinkListener::LinkListener(SelectorLink& link, QObject* parent) : QObject(parent), m_link(link)
{
    connect(&m_link, &SelectorLink::dataWaiting, this, &LinkListener::takeWaiting);
}

void LinkListener::takeWaiting()
{
    // Another listener may have taken the bytes already; whoever comes first gets them.
    if (m_paused || m_link.isWaiting() || !m_link.receiveFlag())
        return;
    const QByteArray bytes = m_link.readReply();
    if (bytes.size() >= EventDecoder::MessageSize)
        emit messageReceived(bytes);
}

void LinkListener::setPaused(bool paused)
{
    m_paused = paused;
    takeWaiting();
}
