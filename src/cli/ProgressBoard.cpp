// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressBoard.h"

#include "TerminalScreen.h"

#include <QIODevice>

#include <algorithm>

namespace {

// What a row's text needs ("block 3  byte 120/189  Transfer byte:120"); the name gets the rest.
constexpr int TextRoom = 40;
// No shorter than this, however narrow the terminal: the text gives way first.
constexpr int LeastLabelWidth = 24;
const QString Gap = QStringLiteral("  ");
const QString Ellipsis = QStringLiteral("\u2026");

} // namespace

ProgressBoard::ProgressBoard(QIODevice& terminal, QStringList labels)
    : m_terminal(terminal), m_screen(qobject_cast<const TerminalScreen*>(&terminal)),
      m_labels(std::move(labels)),
      m_columns(m_screen ? m_screen->screenSize().columns : TerminalScreen::Size{}.columns)
{
    qsizetype longest = 0;
    for (const QString& label : m_labels)
        longest = std::max(longest, label.size());
    const int room = std::max<int>(LeastLabelWidth, m_columns - 1 - int(Gap.size()) - TextRoom);
    m_labelWidth = std::min<int>(int(longest), room);
    for (qsizetype row = 0; row < m_labels.size(); ++row)
        m_terminal.write((line(int(row), {}) + QLatin1Char('\n')).toUtf8());
    m_rowsBelow = m_screen ? m_screen->rowsDown() : 0;
    m_drawTimer.setSingleShot(true);
    m_drawTimer.callOnTimeout([this] { flush(); });
}

ProgressBoard::~ProgressBoard()
{
    flush();
}

QString ProgressBoard::shortened(const QString& name, int width)
{
    if (name.size() <= width)
        return name;
    const int tail = (width - 1) * 2 / 3;
    return name.left(width - 1 - tail) + Ellipsis + name.right(tail);
}

QString ProgressBoard::line(int row, const QString& text) const
{
    // The last column is left free: a character there makes some terminals wrap at once.
    const QString full =
        shortened(m_labels.value(row), m_labelWidth).leftJustified(m_labelWidth) + Gap + text;
    return full.left(m_columns - 1).trimmed();
}

void ProgressBoard::draw(int row, const QString& text)
{
    m_undrawn.insert(row, text);
    if (m_drawTimer.isActive())
        return;
    const qint64 wait = m_sinceDrawn.isValid() ? DrawIntervalMs - m_sinceDrawn.elapsed() : 0;
    if (wait > 0)
        m_drawTimer.start(int(wait));
    else
        flush();
}

void ProgressBoard::flush()
{
    m_drawTimer.stop();
    m_sinceDrawn.start();
    const qint64 written = m_screen ? m_screen->rowsDown() - m_rowsBelow : 0;
    QString rows;
    for (auto undrawn = m_undrawn.cbegin(); undrawn != m_undrawn.cend(); ++undrawn) {
        const qint64 up = m_labels.size() - undrawn.key() + written;
        if (m_screen && m_screen->screenSize().rows > 0 && up >= m_screen->screenSize().rows)
            continue; // scrolled off the top: the cursor cannot reach it
        rows += QStringLiteral("\0338\033[%1A\r\033[K%2")
                    .arg(up)
                    .arg(line(undrawn.key(), undrawn.value()));
    }
    m_undrawn.clear();
    // Saved and restored, the cursor stays where the last writer left it.
    if (!rows.isEmpty())
        m_terminal.write((QStringLiteral("\0337") + rows + QStringLiteral("\0338")).toUtf8());
}
