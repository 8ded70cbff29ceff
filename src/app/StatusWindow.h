#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The small window "status" in which transfers show their progress and outcome.
class StatusWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StatusWindow(QWidget* parent = nullptr);

    QLabel* labelStats() const { return m_labelStats; }
    QProgressBar* bar() const { return m_bar; }
    QPushButton* comExit() const { return m_comExit; }

private:
    QLabel* m_labelStats;
    QProgressBar* m_bar;
    QPushButton* m_comExit;
};
