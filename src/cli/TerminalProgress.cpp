// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalProgress.h"

#include <QIODevice>

TerminalProgress::TerminalProgress(QIODevice& terminal, bool visible)
    : m_terminal(terminal), m_visible(visible)
{
}

void TerminalProgress::setStatus(const QString& text, StatusColour colour)
{
    m_status = text;
    m_colour = colour;
    redraw();
}

void TerminalProgress::setProgressMaximum(int maximum)
{
    m_maximum = maximum;
    redraw();
}

void TerminalProgress::setProgress(int value)
{
    // One frame at 19200 baud takes 2.6 ms: redraw only when the shown figure changes.
    if (value == m_value)
        return;
    m_value = value;
    redraw();
}

void TerminalProgress::redraw()
{
    if (!m_visible)
        return;
    const QString line =
        QStringLiteral("\r\033[K%1  %2/%3").arg(m_status).arg(m_value).arg(m_maximum);
    m_terminal.write(line.toUtf8());
    m_lineOpen = true;
}

void TerminalProgress::finishLine()
{
    if (m_lineOpen)
        m_terminal.write("\n");
    m_lineOpen = false;
}
