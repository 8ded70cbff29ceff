// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayWindow.h"

#include "ApplicationCore.h"
#include "EventDecoder.h"
#include "LinkListener.h"
#include "StatusColours.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Captions of the labels 1 to 10; the tenth label has no box beside it.
const std::array<QString, 10> Captions{QStringLiteral("Money"),   QStringLiteral("Timer"),
                                       QStringLiteral("Channel"), QStringLiteral("Para4"),
                                       QStringLiteral("Para5"),   QStringLiteral("Para6"),
                                       QStringLiteral("Para7"),   QStringLiteral("Para8"),
                                       QStringLiteral("Para9"),   QStringLiteral("Para10")};

} // namespace

DisplayWindow::DisplayWindow(ApplicationCore& core, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("display"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Display"));

    auto* title = new QLabel(QStringLiteral("Display"), this);
    title->setObjectName(QStringLiteral("Label1_0"));

    auto* grid = new QGridLayout;
    for (std::size_t i = 0; i < Captions.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* caption = new QLabel(Captions[i], this);
        caption->setObjectName(QStringLiteral("Label1_%1").arg(row + 1));
        grid->addWidget(caption, row, 0);
        if (i >= BoxCount)
            continue;
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text1_%1").arg(row));
        box->setReadOnly(true);
        caption->setBuddy(box);
        box->setAccessibleName(Captions[i]);
        grid->addWidget(box, row, 1);
        m_boxes[i] = box;
    }

    m_labelStats = new QLabel(QStringLiteral("00.00"), this);
    m_labelStats->setObjectName(QStringLiteral("labelStats"));
    m_labelStats->setAccessibleDescription(QStringLiteral("Status"));
    m_labelStats->setWordWrap(true);

    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("ComExit"));
    connect(exit, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(grid);
    layout->addWidget(m_labelStats);
    layout->addWidget(exit, 0, Qt::AlignRight);

    LinkListener::of(core.link()).attach(this, [this](const QByteArray& message) {
        showMessage(message);
    });
}

void DisplayWindow::showMessage(const QByteArray& bytes)
{
    const std::optional<EventDecoder::Decoded> decoded = EventDecoder::decode(bytes);
    if (!decoded)
        return;
    if (decoded->status)
        StatusColours::show(*m_labelStats, decoded->status->text, decoded->status->colour);
    for (std::size_t i = 0; i < decoded->boxes.size(); ++i)
        if (decoded->boxes[i])
            m_boxes[i]->setText(*decoded->boxes[i]);
}
