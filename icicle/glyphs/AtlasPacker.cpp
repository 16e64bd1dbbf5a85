// AtlasPacker: a shelf packer. Boxes sorted by height fill rows left to right; a row's height is its
// first (tallest) box.
#include "icicle/glyphs/AtlasPacker.h"

#include <algorithm>
#include <numeric>

namespace orvex::glyphs {

bool AtlasPacker::pack(std::vector<Box>& boxes)
{
    std::vector<size_t> order(boxes.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return boxes[a].height > boxes[b].height; });
    const int limitX = m_width - m_gutter, limitY = m_height - m_gutter;
    int x = m_gutter, y = m_gutter, shelfHeight = 0;
    for (size_t index : order) {
        Box& box = boxes[index];
        if (box.width > limitX - m_gutter)
            return false;
        if (x + box.width > limitX) {
            y += shelfHeight + m_gutter;
            x = m_gutter;
            shelfHeight = 0;
        }
        if (y + box.height > limitY)
            return false;
        box.x = x;
        box.y = y;
        x += box.width + m_gutter;
        shelfHeight = std::max(shelfHeight, box.height);
    }
    m_usedRows = y + shelfHeight + m_gutter;
    return true;
}

} // namespace orvex::glyphs
