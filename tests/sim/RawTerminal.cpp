// SPDX-License-Identifier: GPL-3.0-or-later
#include "RawTerminal.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int PatienceMs = 2000;
}

RawTerminal::~RawTerminal()
{
    close();
}

bool RawTerminal::open(const std::string& path)
{
    close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    termios settings{};
    if (tcgetattr(m_fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(m_fd, TCSANOW, &settings) == 0;
}

void RawTerminal::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool RawTerminal::send(const QByteArray& bytes)
{
    return ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
}

QByteArray RawTerminal::receive(int count)
{
    QByteArray received;
    pollfd fd{m_fd, POLLIN, 0};
    while (received.size() < count && poll(&fd, 1, PatienceMs) > 0 && (fd.revents & POLLIN)) {
        std::array<char, 64> buffer{};
        const auto wanted = std::min(buffer.size(), static_cast<size_t>(count - received.size()));
        const ssize_t n = ::read(m_fd, buffer.data(), wanted);
        if (n <= 0)
            break;
        received.append(buffer.data(), static_cast<qsizetype>(n));
    }
    return received;
}

bool RawTerminal::waitForHangUp()
{
    pollfd fd{m_fd, POLLIN, 0};
    if (poll(&fd, 1, PatienceMs) <= 0 || !(fd.revents & POLLHUP))
        return false;
    char byte = 0;
    return ::read(m_fd, &byte, 1) <= 0;
}
