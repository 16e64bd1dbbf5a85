// AtlasPacker: places glyph boxes in an atlas on shelves, tallest first, with an empty gutter
// between boxes and along the atlas border (the atlas repeats, and small labels sample a few texels
// around each quad). Ties break by input order, so the layout is deterministic.
#pragma once

#include <vector>

namespace orvex::glyphs {

class AtlasPacker {
public:
    struct Box {
        int width = 0;
        int height = 0;
        int x = -1; // texel column of the box's left edge
        int y = -1; // texel row of the box's bottom edge, counted along increasing v
    };

    AtlasPacker(int atlasSize, int gutter) : AtlasPacker(atlasSize, atlasSize, gutter) {}
    AtlasPacker(int width, int height, int gutter) : m_width(width), m_height(height), m_gutter(gutter) {}

    // Sets x and y of every box; false when they do not all fit (positions are then incomplete).
    bool pack(std::vector<Box>& boxes);
    // Rows used by the last successful pack, border included.
    int usedRows() const { return m_usedRows; }

private:
    int m_width;
    int m_height;
    int m_gutter;
    int m_usedRows = 0;
};

} // namespace orvex::glyphs
