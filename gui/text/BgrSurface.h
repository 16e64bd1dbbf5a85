// BgrSurface: the CPU drawing surface of the text atlas. 24-bit pixels in blue-green-red byte
// order, rows top-down and padded to 4 bytes, so a region of it uploads unchanged into a texture
// of the matching (BGR) pixel format. Window thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex::gui {

struct Bgr {
    uint8_t blue = 0, green = 0, red = 0;
    bool operator==(const Bgr&) const = default;
};

// A rectangle of whole pixels; empty when x0 >= x1 or y0 >= y1.
struct IntRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    IntRect intersect(const IntRect& o) const;
    bool operator==(const IntRect&) const = default;
};

class BgrSurface {
public:
    BgrSurface() = default;
    // Black pixels; a size that is not positive gives no surface (valid() false).
    BgrSurface(int width, int height);

    bool valid() const { return columns > 0 && rows > 0; }
    int width() const { return columns; }
    int height() const { return rows; }
    size_t stride() const { return rowBytes; }
    uint8_t* row(int y) { return bytes.data() + size_t(y) * rowBytes; }
    const uint8_t* row(int y) const { return bytes.data() + size_t(y) * rowBytes; }
    Bgr pixel(int x, int y) const;

    // Fills the part of `rect` inside the surface.
    void fill(const IntRect& rect, Bgr color);
    // Blends `color` over the pixel by an 8-bit coverage (255: the colour itself). Unchecked.
    void blend(int x, int y, Bgr color, unsigned coverage);
    // The region (0, 0)-(width, height), rows tightly packed, for an upload.
    std::vector<uint8_t> copyRegion(int width, int height) const;

private:
    std::vector<uint8_t> bytes;
    size_t rowBytes = 0;
    int columns = 0;
    int rows = 0;
};

} // namespace orvex::gui
