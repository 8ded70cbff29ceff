// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Tells a line that only gives back what is sent from a selector that answers, over the
// replies of one transfer or read-back: a selector's answer equals its read request only for
// some values at some addresses, so a read whose every reply was a copy of its request had
// nobody answering (a selector holding that value everywhere would be taken for an echo too).
// Nor is a copy an answer once the link has seen that its line echoes.
class EchoTally
{
public:
    void record(bool requestCopy);
    bool onlyEchoed(bool lineEchoes) const;
    // What the status line says then, after what failed.
    static QString text();

private:
    int m_replies = 0;
    int m_copies = 0;
};
