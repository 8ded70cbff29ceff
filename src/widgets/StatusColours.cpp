// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusColours.h"

#include <QLabel>

namespace StatusColours {

QColor color(StatusColour colour)
{
    switch (colour) {
    case StatusColour::Red:
        return QColor(255, 0, 0);
    case StatusColour::Green:
        return QColor(0, 255, 0);
    case StatusColour::Blue:
        break;
    }
    return QColor(0, 0, 255);
}

void apply(QLabel& label, StatusColour colour)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color(colour));
    label.setPalette(palette);
}

void show(QLabel& label, const QString& text, StatusColour colour)
{
    label.setText(text);
    apply(label, colour);
}

} // namespace StatusColours
