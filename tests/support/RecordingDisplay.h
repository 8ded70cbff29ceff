// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TransferDisplay.h"

#include <QStringList>

#include <functional>

// Remembers what a transfer showed, as the status window would hold it.
class RecordingDisplay final : public TransferDisplay
{
public:
    void showWindow() override
    {
        if (!open) {
            open = true;
            closeEnabled = false;
        }
        ++shows;
    }
    void setStatus(const QString& text, StatusColour c) override
    {
        status = text;
        colour = c;
        statusHistory.append(text);
        colourHistory.append(c);
    }
    void setStatusColour(StatusColour c) override { colour = c; }
    void setProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void setProgress(int value) override
    {
        progress = value;
        if (onProgress)
            onProgress(value);
    }
    void enableClose() override { closeEnabled = true; }
    void closeWindow() override
    {
        open = false;
        ++closes;
    }

    bool open = false;
    bool closeEnabled = false;
    int shows = 0;
    QString status;
    StatusColour colour = StatusColour::Blue;
    QStringList statusHistory;
    QList<StatusColour> colourHistory; // the colour each text of statusHistory came with
    int progressMaximum = 0;
    int progress = -1;
    int closes = 0;
    // Called on every progress update, as a slow repaint would run (tests may block in it).
    std::function<void(int)> onProgress;
};
