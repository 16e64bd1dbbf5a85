// Outline: one glyph's shape as closed contours of edge segments in em units (y up, fill on the
// right of the direction of travel). The platform loaders (freetype/, gdi/) fill the contours and
// call finish(); everything after that is shared.
#pragma once

#include "icicle/glyphs/EdgeSegment.h"

#include <vector>

namespace orvex::glyphs {

struct Contour {
    std::vector<EdgeSegment> edges;
};

class Outline {
public:
    std::vector<Contour> contours;

    bool empty() const { return contours.empty(); }
    void bounds(double& left, double& bottom, double& right, double& top) const;
    // Splits single-edge contours into thirds so that every contour can take two colours.
    void normalize();
    void reverse();
    // After a loader: normalises, then turns the outline over when a point well outside the shape
    // reads inside (a face whose flags lie about its orientation).
    void finish();
};

} // namespace orvex::glyphs
