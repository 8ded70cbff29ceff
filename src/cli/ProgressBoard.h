// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// One line of a terminal per port, each redrawn in place while the others stay: the cursor
// waits below the board, goes up to a row to rewrite it and comes back down.
class ProgressBoard
{
public:
    // Draws one line per label at once, so the board has its height from the start.
    ProgressBoard(QIODevice& terminal, QStringList labels);

    void draw(int row, const QString& text);

private:
    QIODevice& m_terminal;
    QStringList m_labels;
};
