// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

#include <memory>

class LinkClock;
class LinkTimer;

// Cuts the bytes the selector sends on its own into five-byte messages. What is left after the
// last whole message waits for the rest; a fragment that stays incomplete through a quiet gap
// is dropped, so it is never joined with the next message's first bytes, and a stray byte
// costs at most the message it runs into.
class EventFraming
{
public:
    // A gap several times the 2.6 ms a message takes at 19200 baud.
    static constexpr int QuietGapHundredths = 2;

    explicit EventFraming(LinkClock& clock);
    ~EventFraming();

    // Bytes that have just arrived; returns every message they complete, in order.
    QList<QByteArray> take(const QByteArray& bytes);

private:
    // Timed from the last bytes taken. A program held up for a moment reads what came
    // meanwhile before its timers run, so its own delay never cuts a message in two.
    std::unique_ptr<LinkTimer> m_quiet;
    QByteArray m_pending;
};
