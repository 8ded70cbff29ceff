// SPDX-License-Identifier: GPL-3.0-or-later
#include "PseudoTerminal.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace selectorsim {

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::fail(const char* what)
{
    m_error = std::string(what) + ": " + std::generic_category().message(errno);
    close();
    return false;
}

bool PseudoTerminal::open()
{
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    std::array<char, 128> name{};
    if (ptsname_r(m_master, name.data(), name.size()) != 0)
        return fail("ptsname_r");
    m_slavePath = name.data();
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    // Raw mode (no echo, no line editing, no CR/LF mapping) so bytes pass unchanged; the
    // speed is cosmetic, a pseudo-terminal has none.
    termios settings{};
    if (tcgetattr(m_slave, &settings) != 0)
        return fail("tcgetattr");
    cfmakeraw(&settings);
    cfsetspeed(&settings, B19200);
    if (tcsetattr(m_slave, TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    m_error.clear();
    return true;
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PseudoTerminal::close()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    m_slavePath.clear();
}

} // namespace selectorsim
