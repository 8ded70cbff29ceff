// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;

// The small window "status" in which transfers show their progress and outcome. While its
// "close" button is disabled (a transfer runs) the user cannot close it by the close box either,
// so the outcome cannot go unseen; the program itself still closes it at any time.
class StatusWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StatusWindow(QWidget* parent = nullptr);

    QLabel* labelStats() const { return m_labelStats; }
    QProgressBar* bar() const { return m_bar; }
    QPushButton* comExit() const { return m_comExit; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_labelStats;
    QProgressBar* m_bar;
    QPushButton* m_comExit;
};
