// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkListener.h"

#include "SelectorLink.h"

LinkListener& LinkListener::of(SelectorLink& link)
{
    if (auto* listener = link.findChild<LinkListener*>(QString(), Qt::FindDirectChildrenOnly))
        return *listener;
    return *new LinkListener(link);
}

LinkListener::LinkListener(SelectorLink& link)
    : QObject(&link), m_link(link), m_framing(link.clock())
{
    connect(&m_link, &SelectorLink::dataWaiting, this, &LinkListener::takeWaiting);
    connect(&m_link, &SelectorLink::busyChanged, this, [this](bool busy) {
        if (!busy)
            listenIfIdle();
    });
}

void LinkListener::attach(QObject* monitor, MessageHandler handler)
{
    connect(this, &LinkListener::messageReceived, monitor, std::move(handler));
    connect(monitor, &QObject::destroyed, this, [this] {
        // The last monitor gone: the port goes back to waking at the threshold.
        if (--m_monitors == 0)
            m_link.setReceiveThreshold(m_link.receiveThreshold());
    });
    ++m_monitors;
    listenIfIdle();
}

void LinkListener::listenIfIdle()
{
    if (m_monitors == 0 || m_link.isBusy() || m_link.isWaiting())
        return;
    // A teaching run leaves ten, which would hold every message back until the next one came.
    m_link.setReceiveThreshold(SelectorLink::ReplyThreshold);
    m_link.wakeOnEveryByte();
    takeWaiting();
}

void LinkListener::takeWaiting()
{
    if (m_monitors == 0 || m_link.isBusy() || m_link.isWaiting())
        return;
    for (const QByteArray& message : m_framing.take(m_link.readReply()))
        emit messageReceived(message);
}
