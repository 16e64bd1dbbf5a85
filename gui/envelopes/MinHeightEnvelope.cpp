// MinHeightEnvelope: a minimum height for the content.
#include "gui/envelopes/MinHeightEnvelope.h"

#include <algorithm>

namespace orvex::gui {

Vector2 MinHeightEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 inner { minimum.x, std::min(maximum.y, minHeight.resolve(scale)) };
    const Vector2 result = content ? content->layout(inner, maximum, scale, final) : inner;
    return remember(minimum, maximum, scale, result);
}

} // namespace orvex::gui
