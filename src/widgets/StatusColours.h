// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TransferDisplay.h"

#include <QColor>

class QLabel;

// The status-line colours: blue for progress, red for failures, green for results.
namespace StatusColours {

QColor color(StatusColour colour);
// Sets a status line's text colour (its WindowText), which is how the colours are read back.
void apply(QLabel& label, StatusColour colour);
void show(QLabel& label, const QString& text, StatusColour colour);

} // namespace StatusColours
