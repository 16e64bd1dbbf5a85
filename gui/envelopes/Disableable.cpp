// Disableable: input and focus cut off while disabled; the DISABLED look while drawing.
#include "gui/envelopes/Disableable.h"

namespace orvex::gui {

void Disableable::setDisabled(bool value)
{
    if (value && !disabled)
        resetInput();
    disabled = value;
}

Response Disableable::draw(Renderer& renderer)
{
    // Only ever sets the bit: an enabled envelope inside a disabled one still looks disabled.
    Renderer::StateScope scope(renderer, Renderer::DISABLED, disabled ? uint32_t(Renderer::DISABLED) : 0u);
    return EnvelopePrototype::draw(renderer);
}

Response Disableable::focus(Component* target) { return disabled ? 0 : EnvelopePrototype::focus(target); }
Response Disableable::gainFocus() { return disabled ? 0 : EnvelopePrototype::gainFocus(); }
Response Disableable::textInput(uint32_t codePoint) { return disabled ? 0 : EnvelopePrototype::textInput(codePoint); }
Response Disableable::keyPress(const KeyEvent& event) { return disabled ? 0 : EnvelopePrototype::keyPress(event); }
Response Disableable::keyRelease(const KeyEvent& event) { return disabled ? 0 : EnvelopePrototype::keyRelease(event); }

Response Disableable::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return disabled ? 0 : EnvelopePrototype::mousePress(event, clicks);
}

Response Disableable::mouseRelease(const MouseButtonEvent& event) { return disabled ? 0 : EnvelopePrototype::mouseRelease(event); }
Response Disableable::mouseWheel(const MouseWheelEvent& event) { return disabled ? 0 : EnvelopePrototype::mouseWheel(event); }

Response Disableable::mouseMove(const MouseMoveEvent& event, bool hovered)
{
    return disabled ? 0 : EnvelopePrototype::mouseMove(event, hovered);
}

Response Disableable::mouseLeave() { return disabled ? 0 : EnvelopePrototype::mouseLeave(); }

Response Disableable::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return disabled ? 0 : EnvelopePrototype::mousePressOutside(event, clicks);
}

Response Disableable::mouseWheelOutside(const MouseWheelEvent& event)
{
    return disabled ? 0 : EnvelopePrototype::mouseWheelOutside(event);
}

Response Disableable::mouseMoveOutside(const MouseMoveEvent& event)
{
    return disabled ? 0 : EnvelopePrototype::mouseMoveOutside(event);
}

Response Disableable::focusTraverse(int direction) { return disabled ? 0 : EnvelopePrototype::focusTraverse(direction); }
Response Disableable::loseFocus() { return disabled ? 0 : EnvelopePrototype::loseFocus(); }

Response Disableable::forwardToFocus(void* first, void* second, void* third)
{
    return disabled ? 0 : EnvelopePrototype::forwardToFocus(first, second, third);
}

Response Disableable::resetInput() { return disabled ? 0 : EnvelopePrototype::resetInput(); }

} // namespace orvex::gui
