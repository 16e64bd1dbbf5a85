// Outline: one glyph's shape as closed contours of edge segments in em units (y up, fill on the
// right of the direction of travel), read from a FreeType face without scaling or hinting.
#pragma once

#include "EdgeSegment.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

// FreeType's own text for an error code where the library was built with it, else the number.
std::string describeFreeTypeError(FT_Error error);

struct Contour {
    std::vector<EdgeSegment> edges;
};

class Outline {
public:
    std::vector<Contour> contours;

    // Reads the glyph's unscaled outline. False with `error` set when it cannot be loaded; an
    // empty outline (the space) succeeds with no contours.
    bool load(FT_Face face, unsigned codepoint, std::string& error);

    bool empty() const { return contours.empty(); }
    void bounds(double& left, double& bottom, double& right, double& top) const;
    // Splits single-edge contours into thirds so that every contour can take two colours.
    void normalize();
    void reverse();
};
