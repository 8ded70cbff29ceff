// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimer>

class QIODevice;
class TerminalScreen;

// One line of a terminal per port, each redrawn in place while the others stay. A line never
// wraps: a long port name is cut in the middle, keeping its end (which tells adapters apart),
// and a long text is cut at its end. On a TerminalScreen the board keeps to the screen's width
// and finds its rows again however many rows were written below it since; rows scrolled out of
// reach are left alone. Elsewhere it takes 80 columns and nothing else written. Rows change
// with every byte of every port; they are drawn together at most ten times a second, which is
// all an eye can follow, so that the terminal is not kept busy drawing what nobody sees.
class ProgressBoard
{
public:
    static constexpr int DrawIntervalMs = 100;

    // Draws one line per label at once, so the board has its height from the start.
    ProgressBoard(QIODevice& terminal, QStringList labels);
    // Draws what is still to be drawn.
    ~ProgressBoard();
    ProgressBoard(const ProgressBoard&) = delete;
    ProgressBoard& operator=(const ProgressBoard&) = delete;

    // Shows text on the row: at once, or with the next drawing within DrawIntervalMs.
    void draw(int row, const QString& text);
    // Draws every row whose text changed since it was last drawn.
    void flush();

    // `name` in at most `width` characters, its middle left out.
    static QString shortened(const QString& name, int width);

private:
    QString line(int row, const QString& text) const;

    QIODevice& m_terminal;
    const TerminalScreen* m_screen; // null when the terminal is not one
    QStringList m_labels;
    int m_columns;
    int m_labelWidth;
    qint64 m_rowsBelow;           // the screen's count once the board was drawn
    QMap<int, QString> m_undrawn; // by row
    QElapsedTimer m_sinceDrawn;
    QTimer m_drawTimer;
};
