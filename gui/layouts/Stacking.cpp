// Row and column arithmetic, written once for either axis: "along" is the stacking axis,
// "across" the one all children share.
#include "gui/layouts/Stacking.h"

#include <algorithm>

namespace orvex::gui::stacking {

namespace {

double& along(Vector2& v, Axis axis) { return axis == ALONG_X ? v.x : v.y; }
double& across(Vector2& v, Axis axis) { return axis == ALONG_X ? v.y : v.x; }
Vector2 make(Axis axis, double alongValue, double acrossValue)
{
    return axis == ALONG_X ? Vector2 { alongValue, acrossValue } : Vector2 { acrossValue, alongValue };
}
Rect span(Axis axis, double start, double end, double thickness)
{
    return axis == ALONG_X ? Rect { start, 0, end, thickness } : Rect { 0, start, thickness, end };
}
double end(const Rect& r, Axis axis) { return axis == ALONG_X ? r.right : r.bottom; }

} // namespace

Vector2 layout(Layout& self, Axis axis, Vector2 minimum, Vector2 maximum, double scale, int final)
{
    double total = 0;
    double thickness = across(minimum, axis);
    // Children earlier in the list get space first. The room left never goes below 0: a child
    // that takes more than it was offered must not hand its followers a negative maximum.
    double room = along(maximum, axis);

    if (across(minimum, axis) != across(maximum, axis)) {
        // Measuring pass: find the thickness the tallest (widest) child wants within the limits.
        for (Layout::Entry& entry : self.children) {
            if (!entry.component)
                continue;
            Vector2 size = entry.component->layout(make(axis, 0, across(minimum, axis)),
                                                   make(axis, room, across(maximum, axis)), scale, 0);
            room = std::max(0.0, room - along(size, axis));
            thickness = std::max(thickness, across(size, axis));
        }
        room = along(maximum, axis);
    }

    for (Layout::Entry& entry : self.children) {
        if (!entry.component) {
            entry.rect = span(axis, total, total, thickness);
            continue;
        }
        Vector2 size = entry.component->layout(make(axis, 0, thickness), make(axis, room, thickness), scale, final);
        const double length = along(size, axis);
        entry.rect = span(axis, total, total + length, thickness);
        room = std::max(0.0, room - length);
        total += length;
    }
    return make(axis, total, thickness);
}

int64_t childAt(const Layout& self, Axis axis, Vector2 position)
{
    const double p = axis == ALONG_X ? position.x : position.y;
    // The rectangles follow each other along the axis, so their ends are sorted.
    const auto first = std::lower_bound(self.children.begin(), self.children.end(), p,
                                        [axis](const Layout::Entry& entry, double value) { return end(entry.rect, axis) < value; });
    if (first == self.children.end())
        return -1;
    // The across check keeps this in agreement with Layout::childAt for positions beyond the
    // row's thickness.
    return first->rect.containsStrictly(position) ? int64_t(first - self.children.begin()) : -1;
}

} // namespace orvex::gui::stacking
