// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusWindow.h"
#include "TransferDisplay.h"

#include <QPointer>

#include <functional>

class QWidget;

// Shows a transfer in the status window: creates the window when it is not open (placed at
// 100, 100 twips with "close" disabled) and reuses it while it is.
class StatusWindowDisplay final : public TransferDisplay
{
public:
    // created is called with each newly created window, so its owner can track it.
    StatusWindowDisplay(QWidget* owner, std::function<void(QWidget*)> created);

    StatusWindow* window() const { return m_window; }

    void showWindow() override;
    void setStatus(const QString& text, StatusColour colour) override;
    void setStatusColour(StatusColour colour) override;
    void setProgressMaximum(int maximum) override;
    void setProgress(int value) override;
    void enableClose() override;
    void closeWindow() override;

private:
    QWidget* m_owner;
    std::function<void(QWidget*)> m_created;
    QPointer<StatusWindow> m_window;
};
