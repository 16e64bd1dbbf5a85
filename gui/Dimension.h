// Dimension: a length given as absolute pixels plus pixels at scale 1, resolved at layout time
// with the layout's scale (DPI / 96 x the interface scale), so fixed sizes follow the monitor.
#pragma once

namespace orvex::gui {

struct Dimension {
    double absolute = 0; // pixels, whatever the scale
    double scaled = 0;   // pixels at scale 1

    double resolve(double scale) const { return absolute + scale * scaled; }
};

} // namespace orvex::gui
