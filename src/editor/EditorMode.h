// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Who opened the parameter editor; decides its caption and which buttons it offers.
enum class EditorMode
{
    Edit,                // edit the image and program the selector from the window
    Setting,             // edit the image, then go on to coin teaching with "OK"
    CalibrationSetting,  // as Setting, but "OK" is the only way out
    SettingAfterDefaults // reopened after the editor defaults were loaded
};
