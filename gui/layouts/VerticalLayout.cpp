// VerticalLayout: a column of children.
#include "gui/layouts/VerticalLayout.h"

#include "gui/layouts/Stacking.h"

namespace orvex::gui {

VerticalLayout& VerticalLayout::add(UniquePtr<Component> component)
{
    if (component)
        setChild(nextIndex++, std::move(component));
    return *this;
}

Vector2 VerticalLayout::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    return stacking::layout(*this, stacking::ALONG_Y, minimum, maximum, scale, final);
}

int64_t VerticalLayout::childAt(Vector2 position) { return stacking::childAt(*this, stacking::ALONG_Y, position); }

} // namespace orvex::gui
