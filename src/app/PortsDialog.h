// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ApplicationCore.h"
#include "PortChoices.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;

// "Serial Ports...": each Com item with an editable choice of the serial devices present, or
// any path typed in, and a check of whether a selector answers there. OK maps them in the
// settings store (the port in use opens again when its device changed); Cancel changes
// nothing.
class PortsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PortsDialog(ApplicationCore& core, QWidget* parent = nullptr);

    // The mapping as stored, and the devices present: what the dialog shows when it opens.
    void showMapping();

private:
    // Reads the devices present again, keeping what each Com item shows.
    void refresh();
    void describe(std::size_t row);
    // Checks the row's device: through the program's own link when it is the port the program
    // holds, else on a port opened for the check alone.
    void check(std::size_t row);
    void store();

    ApplicationCore& m_core;
    PortChoices m_choices{{}};
    std::array<QComboBox*, ApplicationCore::PortNumbers.size()> m_combos{};
    std::array<QLabel*, ApplicationCore::PortNumbers.size()> m_details{};
    std::array<QLabel*, ApplicationCore::PortNumbers.size()> m_warnings{};
    std::array<QPushButton*, ApplicationCore::PortNumbers.size()> m_checkButtons{};
    std::array<QLabel*, ApplicationCore::PortNumbers.size()> m_checkResults{};
};
