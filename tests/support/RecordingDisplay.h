#pragma once

#include "TransferDisplay.h"

#include <QStringList>

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
    }
    void setStatusColour(StatusColour c) override { colour = c; }
    void setProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void setProgress(int value) override { progress = value; }
    void enableClose() override { closeEnabled = true; }
    void closeWindow() override { open = false; }

    bool open = false;
    bool closeEnabled = false;
    int shows = 0;
    QString status;
    StatusColour colour = StatusColour::Blue;
    QStringList statusHistory;
    int progressMaximum = 0;
    int progress = -1;
};
