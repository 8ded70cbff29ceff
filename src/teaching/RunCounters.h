// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLineEdit;

// The counters a coin run shows: the caption "Insert:      xx    of       80" (Label13) with the
// boxes Text1 (coins accepted so far) and Text2 (coins of the run) standing over its "xx" and
// "80", as on the original forms.
class RunCounters : public QWidget
{
    Q_OBJECT
public:
    explicit RunCounters(QWidget* parent = nullptr);

    void setAccepted(int coins);
    void setCount(int coins);

private:
    QLineEdit* m_text1;
    QLineEdit* m_text2;
};
