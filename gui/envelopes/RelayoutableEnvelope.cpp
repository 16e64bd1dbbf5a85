// RelayoutableEnvelope: remembers its layout and absorbs relayout requests when it is tight.
#include "gui/envelopes/RelayoutableEnvelope.h"

namespace orvex::gui {

Vector2 RelayoutableEnvelope::remember(Vector2 minimum, Vector2 maximum, double scale, Vector2 result)
{
    size = result;
    lastScale = scale;
    tight = minimum == maximum && result == minimum;
    return result;
}

void RelayoutableEnvelope::relayoutInPlace()
{
    if (content)
        content->layout(size, size, lastScale, 1);
}

Vector2 RelayoutableEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 result = content ? content->layout(minimum, maximum, scale, final) : minimum;
    return remember(minimum, maximum, scale, result);
}

Response RelayoutableEnvelope::filterResponse(Response flags)
{
    if (!tight || !(flags & (RELAYOUT_WIDTH | RELAYOUT_HEIGHT)))
        return flags;
    relayoutInPlace();
    return flags & ~Response(RELAYOUT_WIDTH | RELAYOUT_HEIGHT);
}

Response RelayoutableEnvelope::draw(Renderer& renderer) { return filterResponse(Envelope::draw(renderer)); }
Response RelayoutableEnvelope::focus(Component* target) { return filterResponse(Envelope::focus(target)); }
Response RelayoutableEnvelope::gainFocus() { return filterResponse(Envelope::gainFocus()); }
Response RelayoutableEnvelope::textInput(uint32_t codePoint) { return filterResponse(Envelope::textInput(codePoint)); }
Response RelayoutableEnvelope::keyPress(const KeyEvent& event) { return filterResponse(Envelope::keyPress(event)); }
Response RelayoutableEnvelope::keyRelease(const KeyEvent& event) { return filterResponse(Envelope::keyRelease(event)); }

Response RelayoutableEnvelope::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return filterResponse(Envelope::mousePress(event, clicks));
}

Response RelayoutableEnvelope::mouseRelease(const MouseButtonEvent& event)
{
    return filterResponse(Envelope::mouseRelease(event));
}

Response RelayoutableEnvelope::mouseWheel(const MouseWheelEvent& event) { return filterResponse(Envelope::mouseWheel(event)); }

Response RelayoutableEnvelope::mouseMove(const MouseMoveEvent& event, bool hovered)
{
    return filterResponse(Envelope::mouseMove(event, hovered));
}

Response RelayoutableEnvelope::mouseLeave() { return filterResponse(Envelope::mouseLeave()); }

Response RelayoutableEnvelope::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return filterResponse(Envelope::mousePressOutside(event, clicks));
}

Response RelayoutableEnvelope::mouseWheelOutside(const MouseWheelEvent& event)
{
    return filterResponse(Envelope::mouseWheelOutside(event));
}

Response RelayoutableEnvelope::mouseMoveOutside(const MouseMoveEvent& event)
{
    return filterResponse(Envelope::mouseMoveOutside(event));
}

Response RelayoutableEnvelope::focusTraverse(int direction) { return filterResponse(Envelope::focusTraverse(direction)); }
Response RelayoutableEnvelope::loseFocus() { return filterResponse(Envelope::loseFocus()); }

Response RelayoutableEnvelope::forwardToFocus(void* first, void* second, void* third)
{
    return filterResponse(Envelope::forwardToFocus(first, second, third));
}

Response RelayoutableEnvelope::resetInput() { return filterResponse(Envelope::resetInput()); }

} // namespace orvex::gui
