// The window side of the component protocol.
#include "gui/ComponentHost.h"

#include "engine/window/KeyCodes.h"

#include <algorithm>
#include <cmath>

namespace orvex::gui {

double ComponentHost::ShrinkRule::factor(Vector2 unscaledClient) const
{
    auto along = [&](double size, double small, double full) {
        if (!(full > small) || size >= full)
            return 1.0;
        const double t = size <= small ? 0.0 : (size - small) / (full - small);
        return smallestFactor + (1.0 - smallestFactor) * t;
    };
    return std::min(along(unscaledClient.x, smallest.x, reference.x), along(unscaledClient.y, smallest.y, reference.y));
}

double ComponentHost::layoutScale() const
{
    // Not a number counts as too large.
    const double clamped = interfaceScale < 0.5 ? 0.5 : interfaceScale <= 2.0 ? interfaceScale : 2.0;
    const double dpi = window.dpiScale();
    const orvex::Vector<int, 2> size = window.clientSize();
    const Vector2 unscaled { double(size[0]) / dpi, double(size[1]) / dpi };
    return dpi * clamped * shrinkRule.factor(unscaled);
}

Response ComponentHost::handle(Response answer)
{
    if (root && (answer & (RELAYOUT_WIDTH | RELAYOUT_HEIGHT))) {
        const orvex::Vector<int, 2> size = window.clientSize();
        const Vector2 client { double(size[0]), double(size[1]) };
        root->layout(client, client, layoutScale());
    }
    if (answer & (REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT))
        window.requestRedraw();
    return answer;
}

Response ComponentHost::draw(Renderer& renderer)
{
    if (!root)
        return 0;
    // The root is where every focus path starts; the layouts below narrow it to the focused child.
    Renderer::StateScope focusPath(renderer, Renderer::FOCUSED, Renderer::FOCUSED);
    return handle(root->draw(renderer));
}

void ComponentHost::stateChanged(int code)
{
    if (!root)
        return;
    if (code == STATE_HIDDEN || code == STATE_MINIMISED || code == STATE_FOCUS_LOST)
        handle(root->resetInput());
    else if (code == STATE_MOUSE_LEFT)
        handle(root->mouseLeave());
}

void ComponentHost::characterInput(char32_t code)
{
    // Control characters (Tab, Enter, Backspace, ...) arrive as keys; 127 is Delete.
    if (root && code > 31 && code != 127)
        handle(root->textInput(uint32_t(code)));
}

Response ComponentHost::keyPressed(const KeyEvent& event)
{
    if (!root)
        return 0;
    Response answer = root->keyPress(event);
    if (!(answer & HANDLED) && event.key == KEY_TAB) {
        const bool backwards = event.modifiers & (MOD_LEFT_SHIFT | MOD_RIGHT_SHIFT);
        answer |= root->focusTraverse(backwards ? 1 : 0);
        if (!(answer & HANDLED))
            answer |= root->focusTraverse(backwards ? 3 : 2); // wrap around
    }
    return handle(answer);
}

void ComponentHost::keyReleased(const KeyEvent& event)
{
    if (root)
        handle(root->keyRelease(event));
}

void ComponentHost::mouseButtonPressed(const MouseButtonEvent& event)
{
    if (!root)
        return;
    clicks.beforePress(event.button);
    Response answer = 0;
    try {
        answer = root->mousePress(event, clicks);
    } catch (...) {
        clicks.afterPress(event.button);
        throw;
    }
    clicks.afterPress(event.button);
    handle(answer);
}

void ComponentHost::mouseButtonReleased(const MouseButtonEvent& event)
{
    if (root)
        handle(root->mouseRelease(event));
}

void ComponentHost::mouseWheel(const MouseWheelEvent& event)
{
    if (root)
        handle(root->mouseWheel(event));
}

void ComponentHost::mouseMoved(const MouseMoveEvent& event)
{
    if (root)
        handle(root->mouseMove(event, true));
}

} // namespace orvex::gui
