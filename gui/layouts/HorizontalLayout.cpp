// HorizontalLayout: a row of children.
#include "gui/layouts/HorizontalLayout.h"

#include "gui/layouts/Stacking.h"

namespace orvex::gui {

HorizontalLayout& HorizontalLayout::add(UniquePtr<Component> component)
{
    if (component)
        setChild(nextIndex++, std::move(component));
    return *this;
}

Vector2 HorizontalLayout::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    return stacking::layout(*this, stacking::ALONG_X, minimum, maximum, scale, final);
}

int64_t HorizontalLayout::childAt(Vector2 position) { return stacking::childAt(*this, stacking::ALONG_X, position); }

} // namespace orvex::gui
