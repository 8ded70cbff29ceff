// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class SelectorImage;

// The two fixed parameter sets. They change the image only; it reaches the selector when it is
// programmed.
namespace DefaultSets {

// Applied at start-up before the current coin data file is loaded: resets cells 0 to 119 and
// leaves the calibration records, the coin separator and cells 141 to 255 as they were.
void applyMainWindowDefaults(SelectorImage& image);

// "Load Default Value" of the parameter editor: every one of the 256 cells gets decimal text.
void applyEditorDefaults(SelectorImage& image);

} // namespace DefaultSets
