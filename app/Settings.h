// Settings: the nine user settings, read from config.ini at start-up and again on F6 (see
// SettingsFile.h). Plain data, owned by the main window; the chart reads its four (ChartSettings)
// through the base. Nothing validates or clamps here: the window clamps uiScaleMultiplier where it
// uses it.
#pragma once

#include "icicle/components/ChartSettings.h"
#include "scan/TreeFolding.h"

#include <cstdint>

struct Settings : ChartSettings {
    bool lockWindowSize = false;    // the window is made non-resizable once sized
    double windowWidth = 1280.0;    // initial client width in unscaled pixels
    double windowHeight = 757.0;    // initial client height in unscaled pixels
    double uiScaleMultiplier = 1.0; // multiplies the display scale of the whole interface
    // Nodes a scan keeps before it folds what can never be drawn (TreeFolding); read as a count,
    // a negative value is left alone by nodeBudget().
    double nodeBudget = double(TreeFolding::defaultBudget);
};

// The node budget the scanner takes (FileSizeMapper::setNodeBudget): the setting's whole part,
// the default for a negative one, and `never` for one past 2^64.
inline uint64_t nodeBudget(const Settings& settings)
{
    const double value = settings.nodeBudget;
    if (!(value >= 0.0))
        return TreeFolding::defaultBudget;
    if (value >= 18446744073709551615.0)
        return TreeFolding::never;
    return uint64_t(value);
}
