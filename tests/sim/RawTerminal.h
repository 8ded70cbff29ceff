// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <string>

// The program's end of the simulator's line, as a plain raw-mode descriptor, so that these
// tests do not depend on the program's own serial code.
class RawTerminal
{
public:
    RawTerminal() = default;
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    bool open(const std::string& path);
    void close();

    bool send(const QByteArray& bytes);
    // Waits (up to two seconds without progress) until `count` bytes have arrived and
    // returns them; fewer if the line went quiet. Later bytes stay for the next call.
    QByteArray receive(int count);
    // Waits (up to two seconds) for the far end to hang up; true once it has and a read
    // then gives end of file or an error.
    bool waitForHangUp();

private:
    int m_fd = -1;
};
