// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunCounters.h"

#include <QLabel>
#include <QLineEdit>

#include <utility>

namespace {

const QString Label13Text = QStringLiteral("Insert:      xx    of       80");

} // namespace

RunCounters::RunCounters(QWidget* parent)
    : QWidget(parent), m_text1(new QLineEdit(this)), m_text2(new QLineEdit(this))
{
    auto* label13 = new QLabel(Label13Text, this);
    label13->setObjectName(QStringLiteral("Label13"));
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setAccessibleName(QStringLiteral("Coins accepted"));
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setAccessibleName(QStringLiteral("Coins of the run"));
    const QFontMetrics metrics = label13->fontMetrics();
    const int fieldWidth = metrics.horizontalAdvance(QStringLiteral("000")) + 12;
    const QString firstField = QStringLiteral("Insert:      ");
    const QString secondField = QStringLiteral("Insert:      xx    of       ");
    for (auto [field, prefix] : {std::pair{m_text1, firstField}, std::pair{m_text2, secondField}}) {
        field->setReadOnly(true);
        field->setAlignment(Qt::AlignCenter);
        field->setGeometry(metrics.horizontalAdvance(prefix) - 4, 0, fieldWidth,
                           label13->sizeHint().height() + 6);
    }
    label13->move(0, 3);
    setMinimumSize(metrics.horizontalAdvance(Label13Text) + fieldWidth,
                   label13->sizeHint().height() + 8);
}

void RunCounters::setAccepted(int coins)
{
    m_text1->setText(QString::number(coins));
}

void RunCounters::setCount(int coins)
{
    m_text2->setText(QString::number(coins));
}
