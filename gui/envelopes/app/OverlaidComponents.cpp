// OverlaidComponents: a back component under the content.
#include "gui/envelopes/app/OverlaidComponents.h"

using orvex::gui::Response;
using orvex::gui::Vector2;

void OverlaidComponents::configure(Configurator& configurator)
{
    Component::configure(configurator);
    if (back)
        back->configure(configurator);
    if (content)
        content->configure(configurator);
}

void OverlaidComponents::traverse(Visitor& visitor)
{
    visitor.enter(this);
    try {
        if (back)
            back->traverse(visitor);
        if (content)
            content->traverse(visitor);
    } catch (...) {
        visitor.leave(this);
        throw;
    }
    visitor.leave(this);
}

Vector2 OverlaidComponents::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 result = EnvelopePrototype::layout(minimum, maximum, scale, final);
    if (final == 1 && back)
        back->layout(result, result, scale, 1);
    return result;
}

Response OverlaidComponents::draw(orvex::gui::Renderer& renderer)
{
    Response answer = 0;
    if (back) {
        // Input, and so the focus, only ever reaches the content.
        orvex::gui::Renderer::StateScope unfocused(renderer, 0, orvex::gui::Renderer::FOCUSED);
        answer = back->draw(renderer);
    }
    return answer | EnvelopePrototype::draw(renderer);
}
