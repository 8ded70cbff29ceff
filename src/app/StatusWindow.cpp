// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

StatusWindow::StatusWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_labelStats(new QLabel(QStringLiteral("standby"), this)),
      m_bar(new QProgressBar(this)), m_comExit(new QPushButton(QStringLiteral("close"), this))
{
    setObjectName(QStringLiteral("ff"));
    setWindowTitle(QStringLiteral("status"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_labelStats->setObjectName(QStringLiteral("labelStats"));
    m_labelStats->setMinimumWidth(260);
    m_bar->setObjectName(QStringLiteral("bar"));
    m_bar->setAccessibleName(QStringLiteral("progress"));
    m_comExit->setObjectName(QStringLiteral("ComExit"));
    m_comExit->setEnabled(false);
    connect(m_comExit, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_labelStats);
    layout->addWidget(m_bar);
    layout->addWidget(m_comExit, 0, Qt::AlignRight);
}

void StatusWindow::closeEvent(QCloseEvent* event)
{
    // A spontaneous close comes from the window system (the close box, Alt+F4); the transfer's
    // own close on success and the main window's close on exit are not spontaneous.
    if (event->spontaneous() && !m_comExit->isEnabled())
        event->ignore();
    else
        event->accept();
}
