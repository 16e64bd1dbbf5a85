// VerticalLayout: places its children in a column, top to bottom; the children share the column's width.
// When the caller's limits leave that shared length open, the children are measured first and the
// largest length they want is used.
#pragma once

#include "gui/layouts/Layout.h"

namespace orvex::gui {

class VerticalLayout : public Layout {
public:
    VerticalLayout() = default;

    // Appends a child (a null one is ignored); returns the layout so that calls chain.
    VerticalLayout& add(UniquePtr<Component> component);

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
    int64_t childAt(Vector2 position) override;

    int64_t nextIndex = 0; // where add stores the next child
};

} // namespace orvex::gui
