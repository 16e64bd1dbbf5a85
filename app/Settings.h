// Settings: the eight user settings, read from config.ini at start-up and again on F6 (see
// SettingsFile.h). Plain data, owned by the main window; the chart reads the scroll settings.
// Nothing validates or clamps here: the window clamps uiScaleMultiplier where it uses it.
#pragma once

struct Settings {
    bool lockWindowSize = false;             // the window is made non-resizable once sized
    double windowWidth = 1280.0;             // initial client width in unscaled pixels
    double windowHeight = 757.0;             // initial client height in unscaled pixels
    double uiScaleMultiplier = 1.0;          // multiplies the display scale of the whole interface
    bool smoothScrolling = true;             // a wheel step's zoom is animated
    double scrollSpeedMultiplier = 1.0;      // applied to every wheel step
    double middleMouseSpeedMultiplier = 1.0; // zooming by dragging with the middle button
    double mouseDragInertia = 0.5;           // above 0: drag velocity tracking and inertia
};
