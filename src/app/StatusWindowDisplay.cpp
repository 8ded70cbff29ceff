// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusWindowDisplay.h"

#include "StatusColours.h"
#include "StatusWindow.h"
#include "WindowPlacement.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {
constexpr int StatusWindowTwips = 100;
} // namespace

StatusWindowDisplay::StatusWindowDisplay(QWidget* owner, std::function<void(QWidget*)> created)
    : m_owner(owner), m_created(std::move(created))
{
}

void StatusWindowDisplay::showWindow()
{
    if (!m_window) {
        m_window = new StatusWindow(m_owner);
        const int pixels =
            WindowPlacement::twipsToPixels(StatusWindowTwips, m_window->logicalDpiX());
        m_window->move(pixels, pixels);
        if (m_created)
            m_created(m_window);
    }
    m_window->show();
}

void StatusWindowDisplay::setStatus(const QString& text, StatusColour colour)
{
    if (m_window)
        StatusColours::show(*m_window->labelStats(), text, colour);
}

void StatusWindowDisplay::setStatusColour(StatusColour colour)
{
    if (m_window)
        StatusColours::apply(*m_window->labelStats(), colour);
}

void StatusWindowDisplay::setProgressMaximum(int maximum)
{
    if (m_window)
        m_window->bar()->setMaximum(maximum);
}

void StatusWindowDisplay::setProgress(int value)
{
    if (m_window)
        m_window->bar()->setValue(value);
}

void StatusWindowDisplay::enableClose()
{
    if (m_window)
        m_window->comExit()->setEnabled(true);
}

void StatusWindowDisplay::closeWindow()
{
    if (m_window)
        m_window->close();
}
