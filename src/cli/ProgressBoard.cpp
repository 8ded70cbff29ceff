// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressBoard.h"

#include <QIODevice>

ProgressBoard::ProgressBoard(QIODevice& terminal, QStringList labels)
    : m_terminal(terminal), m_labels(std::move(labels))
{
    for (const QString& label : m_labels)
        m_terminal.write((label + QLatin1Char('\n')).toUtf8());
}

void ProgressBoard::draw(int row, const QString& text)
{
    const qsizetype up = m_labels.size() - row;
    m_terminal.write(QStringLiteral("\033[%1A\r\033[K%2  %3\033[%1B\r")
                         .arg(up)
                         .arg(m_labels.value(row), text)
                         .toUtf8());
}
