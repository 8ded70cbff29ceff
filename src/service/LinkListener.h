// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EventFraming.h"

#include <QByteArray>
#include <QObject>

#include <functional>

class SelectorLink;

// The one reader of what the selector sends on its own (event messages, answers to the service
// queries) for every open monitor window: each framed message goes to all of them. It takes the
// waiting bytes only while no link operation runs and no exchange waits for a reply, so a
// transfer or a teaching run keeps its replies, and between operations it reads at the reply
// threshold, whatever the last run left.
class LinkListener : public QObject
{
    Q_OBJECT
public:
    using MessageHandler = std::function<void(const QByteArray& message)>;

    // The link's listener, made when the first monitor asks for it; it lives with the link.
    static LinkListener& of(SelectorLink& link);

    // From now until the monitor is destroyed, every message is handed to it. Bytes that came
    // while nobody listened are taken at once: they would otherwise hold the receive flag.
    void attach(QObject* monitor, MessageHandler handler);

signals:
    void messageReceived(const QByteArray& message);

private:
    explicit LinkListener(SelectorLink& link);

    void listenIfIdle();
    void takeWaiting();

    SelectorLink& m_link;
    EventFraming m_framing;
    int m_monitors = 0;
};
