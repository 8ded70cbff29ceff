// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalProgress.h"

#include "ProgressBoard.h"

#include <QIODevice>

TerminalProgress::TerminalProgress(QIODevice& terminal, bool visible)
    : m_terminal(terminal), m_visible(visible)
{
}

TerminalProgress::TerminalProgress(QIODevice& terminal, ProgressBoard& board, int row)
    : m_terminal(terminal), m_visible(true), m_board(&board), m_row(row)
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
    // Every transfer, each block of a programming included, starts by setting its maximum.
    m_maximum = maximum;
    ++m_transfers;
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
    if (m_board) {
        // Nothing to say of a transfer before it has begun.
        if (m_transfers > 0)
            m_board->draw(m_row, QStringLiteral("block %1  byte %2/%3  %4")
                                     .arg(m_transfers)
                                     .arg(m_value)
                                     .arg(m_maximum)
                                     .arg(m_status));
        return;
    }
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
