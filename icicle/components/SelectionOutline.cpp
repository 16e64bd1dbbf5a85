// SelectionOutline: each ring is four rectangles, drawn under the component's clip.
#include "icicle/components/SelectionOutline.h"

#include <algorithm>
#include <cmath>

using namespace orvex::gui;

namespace {

// Four bands `width` thick just inside `r`.
void ring(Renderer& renderer, const Rect& r, double width, const Renderer::StyleObject* style)
{
    if (r.width() <= 2 * width || r.height() <= 2 * width) {
        renderer.fillRectangle(r, 0, style);
        return;
    }
    renderer.fillRectangle({ r.left, r.top, r.right, r.top + width }, 0, style);
    renderer.fillRectangle({ r.left, r.bottom - width, r.right, r.bottom }, 0, style);
    renderer.fillRectangle({ r.left, r.top + width, r.left + width, r.bottom - width }, 0, style);
    renderer.fillRectangle({ r.right - width, r.top + width, r.right, r.bottom - width }, 0, style);
}

} // namespace

void SelectionOutline::draw(Renderer& renderer, Rect cell, Rect bounds, double scale) const
{
    if (!(cell.right > bounds.left && cell.left < bounds.right && cell.bottom > bounds.top && cell.top < bounds.bottom))
        return;
    const double hairline = std::max(1.0, std::round(scale));
    const double band = 2.0 * hairline;
    const double margin = 2.0 * hairline + band;
    cell.left = std::max(cell.left, bounds.left - margin);
    cell.top = std::max(cell.top, bounds.top - margin);
    cell.right = std::min(cell.right, bounds.right + margin);
    cell.bottom = std::min(cell.bottom, bounds.bottom + margin);
    ClipScope clip(renderer, bounds);
    // Dark hairline outside the light band, light band on the cell's edge, dark hairline inside.
    const Rect outer { cell.left - hairline, cell.top - hairline, cell.right + hairline, cell.bottom + hairline };
    if (dark)
        ring(renderer, outer, hairline, dark);
    ring(renderer, cell, band, light);
    const Rect inner { cell.left + band, cell.top + band, cell.right - band, cell.bottom - band };
    if (dark && !inner.empty())
        ring(renderer, inner, hairline, dark);
}
