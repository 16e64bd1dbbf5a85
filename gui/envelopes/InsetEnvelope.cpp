// InsetEnvelope: routing into the content's rectangle, with hover tracking and button capture.
#include "gui/envelopes/InsetEnvelope.h"

namespace orvex::gui {

std::optional<Rect> InsetEnvelope::focusBounds()
{
    std::optional<Rect> bounds = EnvelopePrototype::focusBounds();
    if (bounds)
        *bounds = bounds->offset(childRect.topLeft());
    return bounds;
}

Response InsetEnvelope::draw(Renderer& renderer)
{
    if (!content)
        return 0;
    OffsetScope offset(renderer, childRect.topLeft());
    return content->draw(renderer);
}

Response InsetEnvelope::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    if (!content)
        return 0;
    const MouseButtonEvent local = translated(event, childRect.topLeft());
    if (inside(event.x, event.y) || capturedButtons) {
        capturedButtons |= buttonBit(event.button);
        return content->mousePress(local, clicks);
    }
    const Response answer = content->mousePressOutside(local, clicks);
    if (answer & HANDLED) {
        capturedButtons |= buttonBit(event.button);
        return answer;
    }
    return answer & ~Response(TAKE_FOCUS);
}

Response InsetEnvelope::mouseRelease(const MouseButtonEvent& event)
{
    if (!content || !(capturedButtons || inside(event.x, event.y)))
        return 0;
    capturedButtons &= ~buttonBit(event.button);
    return content->mouseRelease(translated(event, childRect.topLeft()));
}

Response InsetEnvelope::mouseWheel(const MouseWheelEvent& event)
{
    if (!content)
        return 0;
    const MouseWheelEvent local = translated(event, childRect.topLeft());
    return inside(event.x, event.y) ? content->mouseWheel(local) : content->mouseWheelOutside(local);
}

Response InsetEnvelope::mouseMove(const MouseMoveEvent& event, bool hovered)
{
    if (!content)
        return 0;
    const bool nowInside = hovered && inside(event.x, event.y);
    Response answer = 0;
    if (!nowInside && pointerInside && hovered)
        answer |= content->mouseLeave();
    pointerInside = nowInside;
    return answer | content->mouseMove(translated(event, childRect.topLeft()), nowInside);
}

Response InsetEnvelope::mouseLeave()
{
    pointerInside = false;
    return EnvelopePrototype::mouseLeave();
}

Response InsetEnvelope::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    if (!content)
        return 0;
    const Response answer = content->mousePressOutside(translated(event, childRect.topLeft()), clicks);
    if (answer & HANDLED)
        capturedButtons |= buttonBit(event.button);
    return answer;
}

Response InsetEnvelope::mouseWheelOutside(const MouseWheelEvent& event)
{
    return EnvelopePrototype::mouseWheelOutside(translated(event, childRect.topLeft()));
}

Response InsetEnvelope::mouseMoveOutside(const MouseMoveEvent& event)
{
    return EnvelopePrototype::mouseMoveOutside(translated(event, childRect.topLeft()));
}

Response InsetEnvelope::resetInput()
{
    capturedButtons = 0;
    pointerInside = false;
    return EnvelopePrototype::resetInput() | HANDLED;
}

} // namespace orvex::gui
