// Settings: the eight user settings, read from config.ini at start-up and again on F6 (see
// SettingsFile.h). Plain data, owned by the main window; the chart reads its four (ChartSettings)
// through the base. Nothing validates or clamps here: the window clamps uiScaleMultiplier where it
// uses it.
#pragma once

#include "icicle/components/ChartSettings.h"

struct Settings : ChartSettings {
    bool lockWindowSize = false;    // the window is made non-resizable once sized
    double windowWidth = 1280.0;    // initial client width in unscaled pixels
    double windowHeight = 757.0;    // initial client height in unscaled pixels
    double uiScaleMultiplier = 1.0; // multiplies the display scale of the whole interface
};
