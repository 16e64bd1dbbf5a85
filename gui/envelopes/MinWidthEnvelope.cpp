// MinWidthEnvelope: a minimum width for the content.
#include "gui/envelopes/MinWidthEnvelope.h"

#include <algorithm>

namespace orvex::gui {

Vector2 MinWidthEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 inner { std::min(maximum.x, minWidth.resolve(scale)), minimum.y };
    const Vector2 result = content ? content->layout(inner, maximum, scale, final) : inner;
    return remember(minimum, maximum, scale, result);
}

} // namespace orvex::gui
