// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace selectorsim {

// A raw pseudo-terminal pair. The master is non-blocking and close-on-exec; the slave side
// stays open here too, so the program at the far end can close and reopen the device
// without the master seeing a hang-up.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // False on failure, with the reason in errorString(); nothing stays open then.
    bool open();
    // Hangs up the line: the far end sees end of file / POLLHUP. The slave path is kept.
    void closeMaster();
    void close();

    int masterFd() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }
    const std::string& errorString() const { return m_error; }

private:
    bool fail(const char* what);

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_error;
};

} // namespace selectorsim
