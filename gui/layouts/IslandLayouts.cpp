// The island layouts, written once for both axes: "along" is the axis on which island and main
// child follow each other, "across" the one they share.
#include "gui/layouts/IslandLayouts.h"

#include <algorithm>

namespace orvex::gui {

namespace {

enum Axis : int { ALONG_X = 0, ALONG_Y = 1 };

double along(Vector2 v, Axis axis) { return axis == ALONG_X ? v.x : v.y; }
double across(Vector2 v, Axis axis) { return axis == ALONG_X ? v.y : v.x; }
Vector2 make(Axis axis, double alongValue, double acrossValue)
{
    return axis == ALONG_X ? Vector2 { alongValue, acrossValue } : Vector2 { acrossValue, alongValue };
}
Rect span(Axis axis, double start, double end, double thickness)
{
    return axis == ALONG_X ? Rect { start, 0, end, thickness } : Rect { 0, start, thickness, end };
}

// `islandFirst`: the island sits at the start of the axis (top, left) rather than at its end.
Vector2 layoutIsland(Layout& self, Axis axis, bool islandFirst, Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const int64_t islandIndex = islandFirst ? 0 : 1;
    const int64_t mainIndex = 1 - islandIndex;
    Component* island = self.childComponent(islandIndex);
    Component* main = self.childComponent(mainIndex);

    const Vector2 islandSize
        = island ? island->layout(make(axis, 0, across(minimum, axis)), maximum, scale, final) : Vector2 {};
    const double islandLength = along(islandSize, axis);
    double shared = std::max(across(minimum, axis), across(islandSize, axis));

    // The main child's maximum never goes below 0, even when the island alone overfills.
    const Vector2 mainMinimum = make(axis, std::max(0.0, along(minimum, axis) - islandLength), shared);
    const Vector2 mainMaximum = make(axis, std::max(0.0, along(maximum, axis) - islandLength), across(maximum, axis));
    const Vector2 mainSize = main ? main->layout(mainMinimum, mainMaximum, scale, final) : Vector2 {};
    shared = std::max(shared, across(mainSize, axis));
    const double total = std::max(along(minimum, axis), islandLength + along(mainSize, axis));

    if (final == 1) {
        if (island && across(islandSize, axis) != shared) {
            const Vector2 stretched = make(axis, islandLength, shared);
            island->layout(stretched, stretched, scale, 1);
        }
        const double split = islandFirst ? islandLength : total - islandLength;
        if (island)
            self.setChildRect(islandIndex, islandFirst ? span(axis, 0, split, shared) : span(axis, split, total, shared));
        if (main)
            self.setChildRect(mainIndex, islandFirst ? span(axis, split, total, shared) : span(axis, 0, split, shared));
    }
    return make(axis, total, shared);
}

void placeTwo(Layout& self, UniquePtr<Component> first, UniquePtr<Component> second)
{
    self.setChild(0, std::move(first));
    self.setChild(1, std::move(second));
}

} // namespace

TopIslandLayout::TopIslandLayout(UniquePtr<Component> island, UniquePtr<Component> main) : Layout(2)
{
    placeTwo(*this, std::move(island), std::move(main));
}

Vector2 TopIslandLayout::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    return layoutIsland(*this, ALONG_Y, true, minimum, maximum, scale, final);
}

BottomIslandLayout::BottomIslandLayout(UniquePtr<Component> main, UniquePtr<Component> island) : Layout(2)
{
    placeTwo(*this, std::move(main), std::move(island));
}

Vector2 BottomIslandLayout::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    return layoutIsland(*this, ALONG_Y, false, minimum, maximum, scale, final);
}

LeftIslandLayout::LeftIslandLayout(UniquePtr<Component> island, UniquePtr<Component> main) : Layout(2)
{
    placeTwo(*this, std::move(island), std::move(main));
}

Vector2 LeftIslandLayout::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    return layoutIsland(*this, ALONG_X, true, minimum, maximum, scale, final);
}

RightIslandLayout::RightIslandLayout(UniquePtr<Component> main, UniquePtr<Component> island) : Layout(2)
{
    placeTwo(*this, std::move(main), std::move(island));
}

Vector2 RightIslandLayout::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    return layoutIsland(*this, ALONG_X, false, minimum, maximum, scale, final);
}

} // namespace orvex::gui
