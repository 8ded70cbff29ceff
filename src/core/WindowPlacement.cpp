// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowPlacement.h"

#include <QList>
#include <QSettings>

#include <cmath>

namespace WindowPlacement {

namespace {

constexpr double TwipsPerInch = 1440.0;

void readKey(const QSettings& settings, const char* key, int& value)
{
    bool ok = false;
    const int stored = settings.value(QStringLiteral("Settings/") + QLatin1String(key))
                           .toString()
                           .trimmed()
                           .toInt(&ok);
    if (ok)
        value = stored;
}

} // namespace

Twips load(const QSettings& settings)
{
    Twips placement;
    readKey(settings, "MainLeft", placement.left);
    readKey(settings, "MainTop", placement.top);
    readKey(settings, "MainWidth", placement.width);
    readKey(settings, "MainHeight", placement.height);
    return placement;
}

void store(QSettings& settings, const Twips& placement)
{
    settings.setValue(QStringLiteral("Settings/MainLeft"), QString::number(placement.left));
    settings.setValue(QStringLiteral("Settings/MainTop"), QString::number(placement.top));
    settings.setValue(QStringLiteral("Settings/MainWidth"), QString::number(placement.width));
    settings.setValue(QStringLiteral("Settings/MainHeight"), QString::number(placement.height));
}

int twipsToPixels(int twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / TwipsPerInch));
}

int pixelsToTwips(int pixels, double logicalDpi)
{
    return static_cast<int>(std::lround(pixels * TwipsPerInch / logicalDpi));
}

QRect keptOnScreen(const QRect& rect, const QList<QRect>& screens, const QRect& primary)
{
    for (const QRect& screen : screens)
        if (screen.intersects(rect))
            return rect;
    QRect moved = rect;
    moved.moveTopLeft(primary.topLeft());
    return moved;
}

} // namespace WindowPlacement
