// The island layouts: two children, one of which (the island) keeps its natural size on the named
// side while the other (the main child) takes the rest; both share the length across, which is
// the larger of the two. The island is laid out again at that shared length. Children:
// TopIslandLayout and LeftIslandLayout (island, main); BottomIslandLayout and RightIslandLayout
// (main, island).
#pragma once

#include "gui/layouts/Layout.h"

namespace orvex::gui {

class TopIslandLayout : public Layout {
public:
    TopIslandLayout(UniquePtr<Component> island, UniquePtr<Component> main);
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
};

class BottomIslandLayout : public Layout {
public:
    BottomIslandLayout(UniquePtr<Component> main, UniquePtr<Component> island);
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
};

class LeftIslandLayout : public Layout {
public:
    LeftIslandLayout(UniquePtr<Component> island, UniquePtr<Component> main);
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
};

class RightIslandLayout : public Layout {
public:
    RightIslandLayout(UniquePtr<Component> main, UniquePtr<Component> island);
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
};

} // namespace orvex::gui
