// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>

class ApplicationCore;
class QLabel;
class QLineEdit;

// The live display: the selector's latest event in the status line and its latest values in a
// column of boxes. It sends nothing; it shows what the selector reports on its own.
class DisplayWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr std::size_t BoxCount = 9;

    explicit DisplayWindow(ApplicationCore& core, QWidget* parent = nullptr);

private:
    void showMessage(const QByteArray& bytes);

    std::array<QLineEdit*, BoxCount> m_boxes{};
    QLabel* m_labelStats = nullptr;
};
