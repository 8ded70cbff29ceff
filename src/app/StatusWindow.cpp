#include "StatusWindow.h"

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
