// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

class QSettings;

// The main window's placement, stored in twips (1/1440 inch) under "Settings".
namespace WindowPlacement {

struct Twips
{
    int left = 1000;
    int top = 1000;
    int width = 6500;
    int height = 6500;
};

// Each key that is missing or not a number keeps its default.
Twips load(const QSettings& settings);
void store(QSettings& settings, const Twips& placement);

int twipsToPixels(int twips, double logicalDpi);
int pixelsToTwips(int pixels, double logicalDpi);

// Moves a rectangle that lies on none of the screens onto the primary one.
QRect keptOnScreen(const QRect& rect, const QList<QRect>& screens, const QRect& primary);

} // namespace WindowPlacement
