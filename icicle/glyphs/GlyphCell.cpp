// GlyphCell: the box and plane rectangle of one glyph image.
#include "icicle/glyphs/GlyphCell.h"

#include <cmath>

namespace orvex::glyphs {

GlyphCell glyphCell(const Outline& outline)
{
    double left, bottom, right, top;
    outline.bounds(left, bottom, right, top);
    GlyphCell cell;
    cell.width = int(std::ceil((right - left) * texelsPerEm + 2 * padding));
    cell.height = int(std::ceil((top - bottom) * texelsPerEm + 2 * padding));
    // Centre the ink in the whole-texel box.
    cell.origin = {left - (cell.width - (right - left) * texelsPerEm) / (2 * texelsPerEm),
                   bottom - (cell.height - (top - bottom) * texelsPerEm) / (2 * texelsPerEm)};
    cell.planeLeft = cell.origin.x + 0.5 / texelsPerEm;
    cell.planeRight = cell.origin.x + (cell.width - 0.5) / texelsPerEm;
    cell.planeBottom = cell.origin.y + 0.5 / texelsPerEm;
    cell.planeTop = cell.origin.y + (cell.height - 0.5) / texelsPerEm;
    return cell;
}

} // namespace orvex::glyphs
