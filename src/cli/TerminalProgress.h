// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TransferDisplay.h"

#include <QString>

class ProgressBoard;
class QIODevice;

// A transfer's status window, as one line of standard error that is rewritten in place. It
// shows only when that is a terminal (a log file or pipe gets no progress), but always keeps
// the last status text: a failure is said from it.
class TerminalProgress final : public TransferDisplay
{
public:
    TerminalProgress(QIODevice& terminal, bool visible);
    // A row of a board instead of a line of its own: "block" counts the transfers, "byte" is
    // the address under way.
    TerminalProgress(QIODevice& terminal, ProgressBoard& board, int row);

    QString lastStatus() const { return m_status; }
    StatusColour lastColour() const { return m_colour; }
    // Ends the progress line so that later output starts on a fresh line.
    void finishLine();

    void showWindow() override {}
    void setStatus(const QString& text, StatusColour colour) override;
    void setStatusColour(StatusColour colour) override { m_colour = colour; }
    void setProgressMaximum(int maximum) override;
    void setProgress(int value) override;
    void enableClose() override {}
    void closeWindow() override {}

private:
    void redraw();

    QIODevice& m_terminal;
    bool m_visible;
    ProgressBoard* m_board = nullptr;
    int m_row = 0;
    int m_transfers = 0;
    bool m_lineOpen = false;
    QString m_status;
    StatusColour m_colour = StatusColour::Blue;
    int m_maximum = 0;
    int m_value = 0;
};
