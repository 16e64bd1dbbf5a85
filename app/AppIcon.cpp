#include "app/AppIcon.h"

#include <algorithm>
#include <cmath>

namespace {

struct Bar {
    double x0, x1; // fractions of the chart's width
    int row;
    float r, g, b;
};

// Root on top, then two levels of children, as wide as their share.
constexpr Bar BARS[] = {
    { 0.00, 1.00, 0, 0.80f, 0.64f, 0.80f },
    { 0.00, 0.58, 1, 0.93f, 0.55f, 0.45f }, { 0.58, 0.86, 1, 0.45f, 0.78f, 0.55f }, { 0.86, 1.00, 1, 0.45f, 0.62f, 0.93f },
    { 0.00, 0.30, 2, 0.97f, 0.70f, 0.40f }, { 0.30, 0.58, 2, 0.90f, 0.45f, 0.60f }, { 0.58, 0.76, 2, 0.50f, 0.85f, 0.75f },
    { 0.86, 0.95, 2, 0.55f, 0.55f, 0.95f },
    { 0.00, 0.12, 3, 0.98f, 0.85f, 0.45f }, { 0.30, 0.46, 3, 0.95f, 0.55f, 0.70f },
};

} // namespace

orvex::Window::Icon appIcon(int size)
{
    orvex::Window::Icon icon;
    icon.width = icon.height = size;
    icon.rgba.assign(size_t(size) * size_t(size) * 4, 0);
    const double s = size;
    const double margin = s * 0.06, radius = s * 0.18;
    const double chartLeft = s * 0.16, chartRight = s * 0.84, top = s * 0.2, rowHeight = s * 0.15, gap = std::max(1.0, s * 0.02);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            // Rounded square: distance outside the inner rectangle, compared with the radius.
            const double dx = std::max({ margin + radius - px, 0.0, px - (s - margin - radius) });
            const double dy = std::max({ margin + radius - py, 0.0, py - (s - margin - radius) });
            const double coverage = std::clamp(radius - std::hypot(dx, dy) + 0.5, 0.0, 1.0);
            if (coverage <= 0)
                continue;
            float r = 0.125f, g = 0.06f, b = 0.125f;
            for (const Bar& bar : BARS) {
                const double x0 = chartLeft + bar.x0 * (chartRight - chartLeft) + gap / 2;
                const double x1 = chartLeft + bar.x1 * (chartRight - chartLeft) - gap / 2;
                const double y0 = top + bar.row * rowHeight, y1 = y0 + rowHeight - gap;
                if (px >= x0 && px < x1 && py >= y0 && py < y1) {
                    const float shade = float(1.0 - 0.25 * (py - y0) / (y1 - y0));
                    r = bar.r * shade, g = bar.g * shade, b = bar.b * shade;
                }
            }
            uint8_t* p = &icon.rgba[(size_t(y) * size_t(size) + size_t(x)) * 4];
            p[0] = uint8_t(std::lround(r * 255)), p[1] = uint8_t(std::lround(g * 255)), p[2] = uint8_t(std::lround(b * 255));
            p[3] = uint8_t(std::lround(coverage * 255));
        }
    }
    return icon;
}
