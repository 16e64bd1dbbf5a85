// Button: the press state machine and the routing between the button and its content.
#include "gui/Button.h"

#include "engine/window/KeyCodes.h"

namespace orvex::gui {

namespace {

// The state a key press puts the button in; IDLE for keys a button does not take.
int stateForKey(int key)
{
    switch (key) {
    case KEY_ENTER:
        return Button::PRESSED_BY_ENTER;
    case KEY_SPACE:
        return Button::PRESSED_BY_SPACE;
    case KEY_KEYPAD_ENTER:
        return Button::PRESSED_BY_KEYPAD_ENTER;
    default:
        return Button::IDLE;
    }
}

} // namespace

Response Button::pressChanged(int action, int)
{
    if (action != CLICK)
        return 0;
    actions.invoke();
    return HANDLED | TAKE_FOCUS;
}

Response Button::notify(int action)
{
    // The state returns to idle even when a callee throws.
    struct Idle {
        int& state;
        ~Idle() { state = IDLE; }
    } idle { state };
    state = NOTIFYING;
    return pressChanged(action, pressModifiers);
}

void Button::takeFocusFromContent()
{
    if (contentFocused && content)
        content->loseFocus();
    contentFocused = false;
}

UniquePtr<Component> Button::setContent(UniquePtr<Component>&& newContent)
{
    contentFocused = false;
    contentButtons = 0;
    return EnvelopePrototype::setContent(std::move(newContent));
}

Response Button::draw(Renderer& renderer)
{
    if (!(feedback & REDRAW))
        return EnvelopePrototype::draw(renderer);
    Renderer::StateScope scope(renderer, state != IDLE ? uint32_t(Renderer::PRESSED) : 0u, Renderer::PRESSED);
    return EnvelopePrototype::draw(renderer);
}

Response Button::keyPress(const KeyEvent& event)
{
    if (contentFocused)
        return EnvelopePrototype::keyPress(event);
    const int newState = stateForKey(event.key);
    if (newState == IDLE)
        return 0;
    // Auto-repeat arrives as further presses: they notify again but change nothing visible.
    const Response changed = state == IDLE ? feedback : 0;
    state = newState;
    pressModifiers = event.modifiers;
    return changed | pressChanged(PRESS, event.modifiers) | HANDLED | TAKE_FOCUS;
}

Response Button::keyRelease(const KeyEvent& event)
{
    if (keyHeld() && stateForKey(event.key) == state)
        return feedback | notify(CLICK) | HANDLED;
    return contentFocused ? EnvelopePrototype::keyRelease(event) : 0;
}

Response Button::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    Response answer = EnvelopePrototype::mousePress(event, clicks);
    if (answer & TAKE_FOCUS)
        contentFocused = true;
    if (answer & HANDLED) {
        contentButtons |= buttonBit(event.button);
        return answer;
    }
    answer &= ~Response(TAKE_FOCUS);
    if (event.button != 1)
        return answer;
    takeFocusFromContent();
    const Response changed = state == IDLE ? feedback : 0;
    state = PRESSED_BY_MOUSE;
    pressModifiers = event.modifiers;
    return changed | pressChanged(PRESS, event.modifiers) | answer | HANDLED | TAKE_FOCUS;
}

Response Button::mouseRelease(const MouseButtonEvent& event)
{
    const uint32_t bit = buttonBit(event.button);
    if (contentButtons & bit) {
        contentButtons &= ~bit;
        return EnvelopePrototype::mouseRelease(event);
    }
    if (event.button != 1 || state != PRESSED_BY_MOUSE)
        return 0;
    takeFocusFromContent();
    return feedback | notify(CLICK) | HANDLED;
}

Response Button::mouseLeave()
{
    Response answer = 0;
    if (state == PRESSED_BY_MOUSE)
        answer = notify(CANCEL) | feedback | HANDLED;
    const Response contentAnswer = EnvelopePrototype::mouseLeave();
    if (contentAnswer & TAKE_FOCUS)
        contentFocused = true;
    return answer | contentAnswer;
}

Response Button::mouseMove(const MouseMoveEvent& event, bool hovered)
{
    const Response answer = EnvelopePrototype::mouseMove(event, hovered);
    if (answer & TAKE_FOCUS)
        contentFocused = true;
    return answer;
}

Response Button::mouseWheel(const MouseWheelEvent& event)
{
    const Response answer = EnvelopePrototype::mouseWheel(event);
    if (answer & TAKE_FOCUS)
        contentFocused = true;
    return answer;
}

Response Button::textInput(uint32_t codePoint) { return contentFocused ? EnvelopePrototype::textInput(codePoint) : 0; }

Response Button::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    if (!contentFocused)
        return 0;
    const Response answer = EnvelopePrototype::mousePressOutside(event, clicks);
    // The content now holds this button: its release must reach the content too.
    if (answer & HANDLED)
        contentButtons |= buttonBit(event.button);
    return answer;
}

Response Button::mouseWheelOutside(const MouseWheelEvent& event)
{
    return contentFocused ? EnvelopePrototype::mouseWheelOutside(event) : 0;
}

Response Button::mouseMoveOutside(const MouseMoveEvent& event)
{
    return contentFocused ? EnvelopePrototype::mouseMoveOutside(event) : 0;
}

Response Button::forwardToFocus(void* first, void* second, void* third)
{
    return contentFocused ? EnvelopePrototype::forwardToFocus(first, second, third) : 0;
}

Response Button::focus(Component* target)
{
    if (target == this)
        return gainFocus() | HANDLED;
    const Response answer = content ? content->focus(target) : 0;
    if (answer & HANDLED)
        contentFocused = true;
    return answer;
}

Response Button::gainFocus() { return contentFocused ? EnvelopePrototype::gainFocus() : HANDLED | TAKE_FOCUS; }

Response Button::loseFocus()
{
    Response answer = HANDLED;
    if (keyHeld())
        answer |= (notify(CANCEL) & ~Response(TAKE_FOCUS)) | feedback;
    if (contentFocused) {
        contentFocused = false;
        answer |= EnvelopePrototype::loseFocus();
    }
    return answer;
}

Response Button::resetInput()
{
    Response answer = (state != IDLE ? feedback : 0) | EnvelopePrototype::resetInput() | HANDLED;
    state = IDLE;
    pressModifiers = 0;
    contentButtons = 0;
    return answer;
}

Response Button::leaveByTraversal(Response contentAnswer)
{
    Response answer = sideEffect(contentAnswer);
    if (keyHeld())
        answer |= sideEffect(notify(CANCEL)) | feedback;
    // The focus is no longer anywhere inside the button.
    contentFocused = false;
    return answer & ~Response(HANDLED);
}

Response Button::focusTraverse(int direction)
{
    switch (direction) {
    case 2: // first: the button itself
        contentFocused = false;
        return HANDLED | TAKE_FOCUS;
    case 3: { // last: the content's last element, else the button itself
        const Response answer = EnvelopePrototype::focusTraverse(3);
        if (answer & HANDLED) {
            contentFocused = true;
            return answer;
        }
        contentFocused = false;
        return answer | HANDLED | TAKE_FOCUS;
    }
    case 0: { // next: through the content, then out of the button
        Response answer = 0;
        if (contentFocused) {
            answer = EnvelopePrototype::focusTraverse(0);
            if (answer & HANDLED)
                return answer;
        } else if (content) {
            answer = content->focusTraverse(2);
            if (answer & HANDLED) {
                contentFocused = true;
                return answer;
            }
        }
        return leaveByTraversal(answer);
    }
    case 1: { // previous: back through the content onto the button, then out
        if (!contentFocused)
            return leaveByTraversal(0);
        const Response answer = EnvelopePrototype::focusTraverse(1);
        if (answer & HANDLED)
            return answer;
        contentFocused = false;
        return (answer | HANDLED) & ~Response(TAKE_FOCUS);
    }
    default:
        return 0;
    }
}

} // namespace orvex::gui
