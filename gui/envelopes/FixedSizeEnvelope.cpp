// FixedSizeEnvelope: fixed size, cut to the parent's maximum.
#include "gui/envelopes/FixedSizeEnvelope.h"

#include <algorithm>

namespace orvex::gui {

Vector2 FixedSizeEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 fixed { std::min(maximum.x, width.resolve(scale)), std::min(maximum.y, height.resolve(scale)) };
    const Vector2 result = content ? content->layout(fixed, fixed, scale, final) : fixed;
    return remember(minimum, maximum, scale, result);
}

Response FixedSizeEnvelope::filterResponse(Response flags)
{
    flags = RelayoutableEnvelope::filterResponse(flags);
    if (flags & (RELAYOUT_WIDTH | RELAYOUT_HEIGHT)) {
        relayoutInPlace();
        flags &= ~Response(RELAYOUT_WIDTH | RELAYOUT_HEIGHT);
    }
    return flags;
}

} // namespace orvex::gui
