// BgrSurface: fills, coverage blending and region copies on a top-down BGR pixel buffer.
#include "gui/text/BgrSurface.h"

#include <algorithm>
#include <cstring>

namespace orvex::gui {

IntRect IntRect::intersect(const IntRect& o) const
{
    return { std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1) };
}

BgrSurface::BgrSurface(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    columns = width;
    rows = height;
    rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
    bytes.assign(rowBytes * size_t(height), 0);
}

Bgr BgrSurface::pixel(int x, int y) const
{
    const uint8_t* p = row(y) + size_t(x) * 3;
    return { p[0], p[1], p[2] };
}

void BgrSurface::fill(const IntRect& rect, Bgr color)
{
    const IntRect r = rect.intersect({ 0, 0, columns, rows });
    if (r.empty())
        return;
    for (int y = r.y0; y < r.y1; ++y) {
        uint8_t* p = row(y) + size_t(r.x0) * 3;
        for (int x = r.x0; x < r.x1; ++x, p += 3) {
            p[0] = color.blue;
            p[1] = color.green;
            p[2] = color.red;
        }
    }
}

void BgrSurface::blend(int x, int y, Bgr color, unsigned coverage)
{
    uint8_t* p = row(y) + size_t(x) * 3;
    const unsigned keep = 255 - coverage;
    p[0] = uint8_t((p[0] * keep + color.blue * coverage + 127) / 255);
    p[1] = uint8_t((p[1] * keep + color.green * coverage + 127) / 255);
    p[2] = uint8_t((p[2] * keep + color.red * coverage + 127) / 255);
}

std::vector<uint8_t> BgrSurface::copyRegion(int width, int height) const
{
    width = std::clamp(width, 0, columns);
    height = std::clamp(height, 0, rows);
    std::vector<uint8_t> out(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        std::memcpy(out.data() + size_t(y) * size_t(width) * 3, row(y), size_t(width) * 3);
    return out;
}

} // namespace orvex::gui
