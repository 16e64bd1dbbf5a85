// GlyphCell: the scale, padding and texel-centre plane convention shared by the built-in label font
// (tools/label-font) and the run-time glyph page, so that glyphs from either line up exactly.
#pragma once

#include "icicle/glyphs/Outline.h"

namespace orvex::glyphs {

constexpr double distanceRange = 8.0; // texels from value 0 to 1
constexpr double texelsPerEm = 64.0;  // one scale for every glyph
constexpr double padding = 4.5;       // texels between ink and box edge: range / 2 + ½
constexpr int gutter = 2;             // empty texels between boxes and along the border

// The name line keeps the label face's digit zero at this many text units, which sets its text
// units per em: nameZeroAdvance / (the face's zero advance in em).
constexpr double nameZeroAdvance = 0.3475;

// A glyph's whole-texel box with the ink centred in it, and the quad that draws it.
struct GlyphCell {
    int width = 0;        // texels
    int height = 0;
    Vec2 origin;          // em point of the box's bottom-left corner
    double planeLeft = 0; // em from the pen and the baseline
    double planeBottom = 0;
    double planeRight = 0;
    double planeTop = 0;
};

// The cell of a non-empty outline. The quad runs from the centre of the first texel to the centre
// of the last, so GL_LINEAR reads exactly the box and never blends in a neighbour at the quad's edge.
GlyphCell glyphCell(const Outline& outline);

} // namespace orvex::glyphs
