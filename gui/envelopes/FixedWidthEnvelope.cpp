// FixedWidthEnvelope: fixed width, free height.
#include "gui/envelopes/FixedWidthEnvelope.h"

#include <algorithm>

namespace orvex::gui {

Vector2 FixedWidthEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const double fixed = std::min(maximum.x, width.resolve(scale));
    const Vector2 result
        = content ? content->layout({ fixed, minimum.y }, { fixed, maximum.y }, scale, final) : Vector2 { fixed, minimum.y };
    return remember(minimum, maximum, scale, result);
}

Response FixedWidthEnvelope::filterResponse(Response flags)
{
    flags = RelayoutableEnvelope::filterResponse(flags);
    // With a height request pending the window lays everything out anyway, which covers the
    // width request too; only a lone width request needs the layout in place.
    if ((flags & (RELAYOUT_WIDTH | RELAYOUT_HEIGHT)) == RELAYOUT_WIDTH)
        relayoutInPlace();
    return flags & ~Response(RELAYOUT_WIDTH);
}

} // namespace orvex::gui
