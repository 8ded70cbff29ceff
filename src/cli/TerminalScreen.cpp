// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalScreen.h"

#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

constexpr int TabWidth = 8;

} // namespace

TerminalScreen::Size TerminalScreen::standardErrorSize()
{
    Size size;
#ifndef Q_OS_WIN
    winsize window{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &window) == 0 && window.ws_col > 0) {
        size.columns = window.ws_col;
        size.rows = window.ws_row;
    }
#endif
    return size;
}

TerminalScreen::TerminalScreen(QIODevice& terminal, Size size, QObject* parent)
    : QIODevice(parent), m_terminal(terminal), m_size(size)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 TerminalScreen::readData(char*, qint64)
{
    return -1;
}

qint64 TerminalScreen::writeData(const char* data, qint64 size)
{
    const qint64 written = m_terminal.write(data, size);
    for (qint64 i = 0; i < written; ++i)
        follow(data[i]);
    return written;
}

void TerminalScreen::follow(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    switch (m_escape) {
    case Escape::Started:
        if (byte == '[') {
            m_escape = Escape::Sequence;
            return;
        }
        if (byte == '7')
            m_savedColumn = m_column;
        else if (byte == '8')
            m_column = m_savedColumn;
        m_escape = Escape::None;
        return;
    case Escape::Sequence:
        if (code >= 0x40 && code <= 0x7E)
            m_escape = Escape::None;
        return;
    case Escape::None:
        break;
    }
    if (byte == '\033') {
        m_escape = Escape::Started;
    } else if (byte == '\n') {
        ++m_rowsDown;
        m_column = 0;
    } else if (byte == '\r') {
        m_column = 0;
    } else if (byte == '\t') {
        m_column = std::min(m_size.columns - 1, (m_column / TabWidth + 1) * TabWidth);
    } else if (code >= 0x20 && code != 0x7F && (code & 0xC0) != 0x80) {
        // A character (a UTF-8 sequence counts at its first byte): at the last column the
        // terminal holds the cursor there and wraps before the next one.
        if (m_column >= m_size.columns) {
            ++m_rowsDown;
            m_column = 0;
        }
        ++m_column;
    }
}
