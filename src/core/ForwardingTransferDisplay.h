// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TransferDisplay.h"

// Hands a transfer's display calls on to whichever display is set, or drops them while none
// is: transfers keep a reference to this, which lives as long as the core, so the window that
// shows them may come and go.
class ForwardingTransferDisplay final : public TransferDisplay
{
public:
    void setTarget(TransferDisplay* target) { m_target = target; }

    void showWindow() override
    {
        if (m_target)
            m_target->showWindow();
    }
    void setStatus(const QString& text, StatusColour colour) override
    {
        if (m_target)
            m_target->setStatus(text, colour);
    }
    void setStatusColour(StatusColour colour) override
    {
        if (m_target)
            m_target->setStatusColour(colour);
    }
    void setProgressMaximum(int maximum) override
    {
        if (m_target)
            m_target->setProgressMaximum(maximum);
    }
    void setProgress(int value) override
    {
        if (m_target)
            m_target->setProgress(value);
    }
    void enableClose() override
    {
        if (m_target)
            m_target->enableClose();
    }
    void closeWindow() override
    {
        if (m_target)
            m_target->closeWindow();
    }

private:
    TransferDisplay* m_target = nullptr;
};
