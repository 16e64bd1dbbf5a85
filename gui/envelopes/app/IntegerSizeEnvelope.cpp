// IntegerSizeEnvelope: whole-pixel limits and result; the content is laid out again at the
// rounded size when rounding changed it, so it draws exactly what the parent reserves.
#include "gui/envelopes/app/IntegerSizeEnvelope.h"

#include <cmath>

using orvex::gui::Vector2;

namespace {

Vector2 floored(Vector2 v) { return { std::floor(v.x), std::floor(v.y) }; }

} // namespace

Vector2 IntegerSizeEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 exact = EnvelopePrototype::layout(floored(minimum), floored(maximum), scale, final);
    const Vector2 result = floored(exact);
    if (content && final == 1 && !(result == exact))
        content->layout(result, result, scale, 1);
    return result;
}
