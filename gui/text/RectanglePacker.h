// RectanglePacker: places rectangles in a fixed area on shelves (rows). A shelf takes rectangles
// no more than half again lower than itself, so texts of one font share shelves; freed spans are
// merged back into their shelf and empty shelves at the bottom are given back. pack() places a
// whole set at once, tallest first, for the atlas's repack. GL-free, window thread.
#pragma once

#include "gui/text/BgrSurface.h"

#include <optional>
#include <utility>
#include <vector>

namespace orvex::gui {

class RectanglePacker {
public:
    RectanglePacker(int width = 0, int height = 0) { reset(width, height); }

    // Forgets every placed rectangle; the area becomes width x height.
    void reset(int width, int height);
    // Nothing when a w x h rectangle does not fit (or w or h is not positive).
    std::optional<IntRect> allocate(int w, int h);
    // Gives back a rectangle that allocate() returned.
    void release(const IntRect& rect);

    // Places all `sizes` (width, height) in a fresh width x height area; the rectangles in the
    // order of `sizes`, or nothing when they do not all fit.
    static std::optional<std::vector<IntRect>> pack(int width, int height, const std::vector<std::pair<int, int>>& sizes,
                                                    RectanglePacker& into);

    int width() const { return areaWidth; }
    int height() const { return areaHeight; }
    int shelfCount() const { return int(shelves.size()); }

private:
    struct Shelf {
        int y;
        int height;
        std::vector<std::pair<int, int>> free; // [x0, x1) spans, sorted, never adjacent
        int used = 0;                          // rectangles on it
    };
    std::optional<IntRect> placeOn(Shelf& shelf, int w, int h);

    std::vector<Shelf> shelves; // top to bottom
    int areaWidth = 0;
    int areaHeight = 0;
};

} // namespace orvex::gui
