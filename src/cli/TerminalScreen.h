// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>

// A terminal as a device to write to: passes every write on to the terminal and keeps count of
// the rows the cursor went down (new lines, and lines that wrapped at the terminal's width),
// so that something drawn on it (a progress board) finds its rows again whatever else was
// written below it. Escape sequences move no row; a saved cursor column comes back on restore.
class TerminalScreen : public QIODevice
{
    Q_OBJECT
public:
    struct Size
    {
        int columns = 80;
        int rows = 0; // 0: not known
    };

    // Standard error's size where the system tells it; else 80 columns of unknown height.
    static Size standardErrorSize();

    TerminalScreen(QIODevice& terminal, Size size, QObject* parent = nullptr);

    Size screenSize() const { return m_size; }
    // Rows the cursor went down since this device was made.
    qint64 rowsDown() const { return m_rowsDown; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    enum class Escape
    {
        None,
        Started,  // ESC seen
        Sequence, // ESC [ seen, up to the final byte
    };

    void follow(char byte);

    QIODevice& m_terminal;
    const Size m_size;
    qint64 m_rowsDown = 0;
    int m_column = 0;
    int m_savedColumn = 0;
    Escape m_escape = Escape::None;
};
