// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

enum class StatusColour
{
    Blue,
    Red,
    Green
};

// What a transfer shows while it runs: the status window's line, progress bar and "close"
// button. The window side implements it; the transfer never touches widgets.
class TransferDisplay
{
public:
    virtual ~TransferDisplay() = default;
    // Shows the window, creating it (with "close" disabled) when it is not open.
    virtual void showWindow() = 0;
    virtual void setStatus(const QString& text, StatusColour colour) = 0;
    virtual void setStatusColour(StatusColour colour) = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgress(int value) = 0;
    virtual void enableClose() = 0;
    virtual void closeWindow() = 0;
};
