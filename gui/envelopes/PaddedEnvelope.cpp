// PaddedEnvelope: margins around the content.
#include "gui/envelopes/PaddedEnvelope.h"

#include <algorithm>

namespace orvex::gui {

Vector2 PaddedEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Rect margins { left.resolve(scale), top.resolve(scale), right.resolve(scale), bottom.resolve(scale) };
    return layoutWithMargins(minimum, maximum, scale, final, margins);
}

Vector2 PaddedEnvelope::layoutWithMargins(Vector2 minimum, Vector2 maximum, double scale, int final, const Rect& margins)
{
    const Vector2 extra { margins.left + margins.right, margins.top + margins.bottom };
    // The inner minimum may become negative when the margins alone exceed the minimum.
    const Vector2 innerMinimum = minimum - extra;
    const Vector2 innerMaximum = maximum - extra;
    Vector2 inner;
    if (content) {
        inner = content->layout(innerMinimum, innerMaximum, scale, final);
    } else {
        inner = { std::min(innerMaximum.x, std::max(innerMinimum.x, 0.0)),
                  std::min(innerMaximum.y, std::max(innerMinimum.y, 0.0)) };
    }
    childRect = { margins.left, margins.top, margins.left + inner.x, margins.top + inner.y };
    return inner + extra;
}

} // namespace orvex::gui
