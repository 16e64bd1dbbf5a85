// The shared arithmetic of the row and column layouts (HorizontalLayout stacks along x,
// VerticalLayout along y): the measuring pass, the final pass and the hit test by binary search.
// Internal to gui/layouts.
#pragma once

#include "gui/layouts/Layout.h"

namespace orvex::gui::stacking {

enum Axis : int { ALONG_X = 0, ALONG_Y = 1 };

Vector2 layout(Layout& layout, Axis axis, Vector2 minimum, Vector2 maximum, double scale, int final);
int64_t childAt(const Layout& layout, Axis axis, Vector2 position);

} // namespace orvex::gui::stacking
