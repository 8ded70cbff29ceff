// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>

class SelectorLink;

// Hands a monitor window what the selector sends on its own (event messages, answers to the
// service queries). It takes the waiting bytes only while no exchange waits for a reply, so a
// transfer or a teaching run keeps its replies; the receive threshold is left as it is.
class LinkListener : public QObject
{
    Q_OBJECT
public:
    explicit LinkListener(SelectorLink& link, QObject* parent = nullptr);

    // Takes what is waiting now, if the threshold was reached. A window calls it once it is
    // connected: bytes that arrived while nobody listened would otherwise hold the receive
    // flag and keep every later message from being noticed.
    void takeWaiting();
    // While paused (the window's own transfer runs) nothing is taken; resuming takes what
    // arrived in the meantime.
    void setPaused(bool paused);

signals:
    // One read of five bytes or more; shorter reads are consumed and dropped.
    void messageReceived(const QByteArray& bytes);

private:
    SelectorLink& m_link;
    bool m_paused = false;
};
