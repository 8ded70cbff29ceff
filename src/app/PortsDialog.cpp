// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortsDialog.h"

#include "PortMap.h"
#include "SelectorLink.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

PortsDialog::PortsDialog(ApplicationCore& core, QWidget* parent) : QDialog(parent), m_core(core)
{
    setObjectName(QStringLiteral("ports"));
    setWindowTitle(QStringLiteral("Serial Ports"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (std::size_t row = 0; row < m_combos.size(); ++row) {
        const int number = ApplicationCore::PortNumbers[row];
        auto* caption = new QLabel(QStringLiteral("Com%1(&%1)").arg(number), this);
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("ComboPort%1").arg(number));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumContentsLength(40);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        caption->setBuddy(combo);
        combo->setAccessibleName(QStringLiteral("Com%1").arg(number));
        auto* details = new QLabel(this);
        details->setObjectName(QStringLiteral("LabelPort%1").arg(number));
        details->setAccessibleName(QStringLiteral("Com%1 device").arg(number));
        connect(combo, &QComboBox::editTextChanged, this, [this, row] { describe(row); });
        grid->addWidget(caption, int(row), 0);
        grid->addWidget(combo, int(row), 1);
        grid->addWidget(details, int(row), 2);
        m_combos[row] = combo;
        m_details[row] = details;
    }
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    const auto addButton = [this, buttons](const char* name, const QString& caption) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        buttons->addWidget(button);
        return button;
    };
    QPushButton* refreshButton = addButton("ComRefresh", QStringLiteral("&Refresh"));
    buttons->addStretch();
    QPushButton* ok = addButton("ComOK", QStringLiteral("OK"));
    QPushButton* cancel = addButton("ComCancel", QStringLiteral("Cancel"));
    ok->setDefault(true);
    layout->addLayout(buttons);
    connect(refreshButton, &QPushButton::clicked, this, &PortsDialog::refresh);
    connect(ok, &QPushButton::clicked, this, [this] {
        store();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // OK may open the port again: not under a running operation (another window's).
    ok->setEnabled(!m_core.link().isBusy());
    connect(&m_core.link(), &SelectorLink::busyChanged, ok,
            [ok](bool busy) { ok->setEnabled(!busy); });
}

void PortsDialog::showMapping()
{
    const QSettings settings;
    for (std::size_t row = 0; row < m_combos.size(); ++row)
        m_combos[row]->setEditText(PortMap::device(settings, ApplicationCore::PortNumbers[row]));
    refresh();
}

void PortsDialog::refresh()
{
    m_choices = PortChoices(PortChoices::present());
    const QStringList names = m_choices.names();
    for (std::size_t row = 0; row < m_combos.size(); ++row) {
        QComboBox* combo = m_combos[row];
        const QString typed = combo->currentText();
        const QSignalBlocker quiet(combo);
        combo->clear();
        for (const QString& name : names) {
            combo->addItem(name);
            combo->setItemData(combo->count() - 1, m_choices.describe(name), Qt::ToolTipRole);
        }
        combo->setEditText(typed);
        describe(row);
    }
}

void PortsDialog::describe(std::size_t row)
{
    m_details[row]->setText(m_choices.describe(m_combos[row]->currentText()));
}

void PortsDialog::store()
{
    std::array<QString, ApplicationCore::PortNumbers.size()> devices;
    for (std::size_t row = 0; row < m_combos.size(); ++row)
        devices[row] = m_combos[row]->currentText();
    m_core.setPortDevices(devices);
}
