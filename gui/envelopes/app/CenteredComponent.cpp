// CenteredComponent: the content centred, its top-left rounded down to a whole pixel.
#include "gui/envelopes/app/CenteredComponent.h"

#include <algorithm>
#include <cmath>

using orvex::gui::Vector2;

Vector2 CenteredComponent::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 inner = content ? content->layout({ 0, 0 }, maximum, scale, final) : Vector2 {};
    const Vector2 result { std::max(minimum.x, inner.x), std::max(minimum.y, inner.y) };
    const Vector2 origin { std::floor(0.5 * (result.x - inner.x)), std::floor(0.5 * (result.y - inner.y)) };
    childRect = { origin.x, origin.y, origin.x + inner.x, origin.y + inner.y };
    return result;
}
