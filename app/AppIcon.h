// The program's icon, drawn in code so that the window, the desktop entry's PNG and any size
// come from one picture: a small icicle chart (a wide root bar, its children below it, theirs
// below them) in the chart's hues on a dark rounded square.
#pragma once

#include "engine/window/Window.h"

orvex::Window::Icon appIcon(int size);
