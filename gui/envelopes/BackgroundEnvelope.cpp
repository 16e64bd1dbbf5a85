// BackgroundEnvelope: a filled background under the content.
#include "gui/envelopes/BackgroundEnvelope.h"

namespace orvex::gui {

Vector2 BackgroundEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    size = EnvelopePrototype::layout(minimum, maximum, scale, final);
    return size;
}

Response BackgroundEnvelope::draw(Renderer& renderer)
{
    if (style)
        renderer.fillRectangle({ 0, 0, size.x, size.y }, kind, style);
    return EnvelopePrototype::draw(renderer) | HANDLED;
}

} // namespace orvex::gui
