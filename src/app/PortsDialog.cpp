// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortsDialog.h"

#include "PortCheck.h"
#include "PortMap.h"
#include "PortName.h"
#include "SelectorLink.h"
#include "SerialLinkPort.h"

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
        auto* checkButton = new QPushButton(QStringLiteral("Check"), this);
        checkButton->setObjectName(QStringLiteral("CheckPort%1").arg(number));
        checkButton->setAccessibleName(QStringLiteral("Check Com%1").arg(number));
        const auto addLabel = [this, number](const char* name, const char* accessible) {
            auto* label = new QLabel(this);
            label->setObjectName(QLatin1String(name) + QString::number(number));
            label->setAccessibleName(
                QStringLiteral("Com%1 %2").arg(number).arg(QLatin1String(accessible)));
            return label;
        };
        m_details[row] = addLabel("LabelPort", "device");
        // The warning and the check's result go under the row: they are sentences.
        auto* notes = new QVBoxLayout;
        m_warnings[row] = addLabel("WarnPort", "warning");
        m_checkResults[row] = addLabel("ResultPort", "check");
        for (QLabel* label : {m_warnings[row], m_checkResults[row]}) {
            label->setWordWrap(true);
            label->hide();
            notes->addWidget(label);
        }
        connect(combo, &QComboBox::editTextChanged, this, [this, row] { describe(row); });
        connect(checkButton, &QPushButton::clicked, this, [this, row] { check(row); });
        const int line = 2 * int(row);
        grid->addWidget(caption, line, 0);
        grid->addWidget(combo, line, 1);
        grid->addWidget(checkButton, line, 2);
        grid->addWidget(m_details[row], line, 3);
        grid->addLayout(notes, line + 1, 1, 1, 3);
        m_combos[row] = combo;
        m_checkButtons[row] = checkButton;
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
    const QString path = m_combos[row]->currentText();
    m_details[row]->setText(m_choices.describe(path));
    const QString stableName = m_choices.stableNameInsteadOf(path);
    m_warnings[row]->setText(
        stableName.isEmpty()
            ? QString()
            : QStringLiteral("After replugging, %1 may be another adapter: choose its stable "
                             "name %2")
                  .arg(PortName::systemName(path), stableName));
    m_warnings[row]->setVisible(!stableName.isEmpty());
    m_checkResults[row]->hide();
}

void PortsDialog::check(std::size_t row)
{
    const QString device = m_combos[row]->currentText();
    SelectorLink* link = &m_core.link();
    const bool held =
        link->isPortOpen() &&
        PortName::same(device, PortMap::device(QSettings(), m_core.currentPortNumber()));
    if (!held)
        link = new SelectorLink(std::make_unique<SerialLinkPort>(), m_core.link().clock());
    auto* check = new PortCheck(*link, held ? QString() : device, this);
    if (!held)
        link->setParent(check);
    m_checkButtons[row]->setEnabled(false);
    m_checkResults[row]->setText(QStringLiteral("Checking..."));
    m_checkResults[row]->show();
    connect(check, &PortCheck::finished, this, [this, row, check](const PortCheck::Result& r) {
        m_checkResults[row]->setText(r.hint().isEmpty() ? r.text()
                                                        : r.text() + QLatin1Char('\n') + r.hint());
        m_checkButtons[row]->setEnabled(true);
        check->deleteLater();
    });
    check->start();
}

void PortsDialog::store()
{
    std::array<QString, ApplicationCore::PortNumbers.size()> devices;
    for (std::size_t row = 0; row < m_combos.size(); ++row)
        devices[row] = m_combos[row]->currentText();
    m_core.setPortDevices(devices);
}
