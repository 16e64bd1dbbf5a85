// Geometry of the component tree: positions and sizes in device pixels of the window's client
// area, x to the right, y downwards; every component works in its own frame with (0, 0) at its
// top-left corner.
#pragma once

#include <algorithm>
#include <limits>

namespace orvex::gui {

struct Vector2 {
    double x = 0;
    double y = 0;

    Vector2 operator+(Vector2 other) const { return { x + other.x, y + other.y }; }
    Vector2 operator-(Vector2 other) const { return { x - other.x, y - other.y }; }
    bool operator==(const Vector2&) const = default;
};

struct Rect {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;

    double width() const { return right - left; }
    double height() const { return bottom - top; }
    bool empty() const { return !(right > left && bottom > top); }
    Rect offset(Vector2 by) const { return { left + by.x, top + by.y, right + by.x, bottom + by.y }; }
    Rect intersect(const Rect& other) const
    {
        return { std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                 std::min(bottom, other.bottom) };
    }
    bool contains(Vector2 point) const { return point.x >= left && point.x < right && point.y >= top && point.y < bottom; }
    // Hit-testing of components: a point on an edge belongs to neither side.
    bool containsStrictly(Vector2 point) const
    {
        return point.x > left && point.x < right && point.y > top && point.y < bottom;
    }
    Vector2 topLeft() const { return { left, top }; }
    bool operator==(const Rect&) const = default;

    // The rectangle that stands for "no clipping".
    static Rect unbounded()
    {
        constexpr double inf = std::numeric_limits<double>::infinity();
        return { -inf, -inf, inf, inf };
    }
};

} // namespace orvex::gui
