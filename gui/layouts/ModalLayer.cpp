// ModalLayer: the panel's placement, and the routing that keeps input away from the content while
// a panel is shown. Showing and dismissing usually happen inside a routed call (a key on the
// content opens the panel, a button of the panel closes it); Layout's routing still acts on the
// child it called once that call returns (it gives the focus to a child that asked for it), so
// whatever must hold afterwards is settled when the outermost routed call has returned.
//
// Index: [SECTION] showing and dismissing  [SECTION] layout and draw  [SECTION] focus and keys
//        [SECTION] mouse
#include "gui/layouts/ModalLayer.h"

#include "engine/window/KeyCodes.h"

#include <cassert>
#include <cmath>
#include <utility>

namespace orvex::gui {

ModalLayer::ModalLayer(UniquePtr<Component> content) : Layout(2) { setChild(0, std::move(content)); }

ModalLayer::~ModalLayer() = default;

// [SECTION] showing and dismissing

template <typename Call>
Response ModalLayer::dispatch(Call&& call)
{
    struct Depth {
        int& depth;
        ~Depth() { --depth; }
    } scope { ++depth };
    const Response answer = call();
    return depth == 1 ? settle(answer) : answer;
}

Response ModalLayer::settle(Response answer)
{
    const bool shownInCall = std::exchange(shownDuringCall, false);
    if (isShown()) {
        // The call that showed the panel may have ended by focusing the content again (a menu
        // that refocuses what it was opened on as it closes): the panel keeps the focus, and the
        // content drops what it took inside itself.
        if (focused == 0)
            answer |= sideEffect(focusPanel());
        else if (shownInCall && childComponent(0))
            answer |= sideEffect(childComponent(0)->loseFocus());
        return answer;
    }
    // The routing may have pointed the focus or the capture at the slot the panel left empty.
    if (focused == 1)
        focused = -1;
    if (captured == 1)
        captured = -1;
    if (hovered == 1)
        hovered = -1;
    if (std::exchange(refocusPending, false)) {
        if (Component* target = std::exchange(returnFocus, nullptr))
            answer |= sideEffect(Layout::focus(target));
    }
    return answer;
}

Response ModalLayer::focusPanel()
{
    Response answer = 0;
    if (focused == 0) {
        if (Component* content = childComponent(0))
            answer |= sideEffect(content->loseFocus());
    }
    focused = 1;
    Component* shown = childComponent(1);
    Response found = panelFocus ? shown->focus(panelFocus) : 0;
    if (!(found & HANDLED))
        found = shown->focusTraverse(2);
    return answer | found | REDRAW;
}

Response ModalLayer::show(UniquePtr<Component> newPanel, Component* initialFocus, std::function<void()> cancel,
                          Component* focusAfter)
{
    assert(newPanel && "ModalLayer::show: pass a panel; dismiss() removes one");
    if (isShown())
        retired.push_back(setChild(1, nullptr));
    Response answer = HANDLED | REDRAW;
    // The content loses the pointer: its hover ends and a press it holds is dropped.
    if (Component* content = childComponent(0)) {
        if (hovered == 0)
            answer |= sideEffect(content->mouseLeave());
        if (captured == 0)
            answer |= sideEffect(content->resetInput());
    }
    hovered = captured = -1;
    pressedButtons = 0;
    cancelAction = std::move(cancel);
    panelFocus = initialFocus;
    returnFocus = focusAfter;
    refocusPending = false;
    shownDuringCall = depth > 0;
    setChild(1, std::move(newPanel));
    // Placed at once, so the panel takes clicks before the next layout.
    placePanel(area, areaScale, 1);
    return answer | focusPanel();
}

Response ModalLayer::dismiss()
{
    if (!isShown())
        return 0;
    const bool panelFocused = focused == 1;
    retired.push_back(setChild(1, nullptr));
    panelFocus = nullptr;
    if (!panelFocused) {
        returnFocus = nullptr;
        return HANDLED | REDRAW;
    }
    if (depth > 0) {
        refocusPending = true;
        return HANDLED | REDRAW;
    }
    Component* target = std::exchange(returnFocus, nullptr);
    return HANDLED | REDRAW | (target ? Layout::focus(target) : 0);
}

Response ModalLayer::cancel()
{
    if (!isShown())
        return 0;
    // A copy: the action usually dismisses, which releases the stored one while it runs.
    std::function<void()> action = cancelAction;
    return dispatch([&] {
        if (action)
            action();
        return Response(HANDLED | REDRAW);
    });
}

// [SECTION] layout and draw

Vector2 ModalLayer::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    Component* content = childComponent(0);
    const Vector2 result = content ? content->layout(minimum, maximum, scale, final) : minimum;
    setChildRect(0, { 0, 0, result.x, result.y });
    if (final) {
        area = result;
        areaScale = scale;
    }
    placePanel(result, scale, final);
    return result;
}

void ModalLayer::placePanel(Vector2 room, double scale, int final)
{
    Component* shown = childComponent(1);
    if (!shown)
        return;
    const Vector2 limit { std::floor(room.x), std::floor(room.y) };
    const Vector2 natural = shown->layout({ 0, 0 }, limit, scale, final);
    const double width = std::min(limit.x, std::ceil(natural.x));
    const double height = std::min(limit.y, std::ceil(natural.y));
    const double x = std::floor((limit.x - width) / 2);
    const double y = std::floor((limit.y - height) / 2);
    setChildRect(1, { x, y, x + width, y + height });
}

Response ModalLayer::draw(Renderer& renderer)
{
    // Drawing never runs inside a routed call, so no dismissed panel is in use now.
    retired.clear();
    Response answer = drawChild(renderer, 0);
    if (!isShown())
        return answer;
    if (shade)
        renderer.fillRectangle(children[0].rect, 0, shade);
    return answer | drawChild(renderer, 1) | HANDLED;
}

// [SECTION] focus and keys

Response ModalLayer::focus(Component* target)
{
    if (!isShown())
        return Layout::focus(target);
    // Only the panel may take the focus; the layer itself passes it on to the panel.
    if (target == this)
        return focusPanel() | HANDLED;
    const Response answer = childComponent(1)->focus(target);
    if (!(answer & HANDLED))
        return answer;
    if (focused == 0) {
        if (Component* content = childComponent(0))
            content->loseFocus();
    }
    focused = 1;
    return answer;
}

Response ModalLayer::focusTraverse(int direction)
{
    if (!isShown())
        return Layout::focusTraverse(direction);
    Component* shown = childComponent(1);
    Response answer = 0;
    if (focused == 1 && (direction == 0 || direction == 1)) {
        answer = shown->focusTraverse(direction);
        if (answer & HANDLED)
            return answer | REDRAW;
        answer &= ~Response(HANDLED | TAKE_FOCUS);
    }
    // Entering the panel, or wrapping around inside it.
    const Response entered = shown->focusTraverse(direction == 1 || direction == 3 ? 3 : 2);
    if (!(entered & HANDLED))
        return answer | (entered & ~Response(HANDLED | TAKE_FOCUS));
    if (focused == 0) {
        if (Component* content = childComponent(0))
            answer |= sideEffect(content->loseFocus());
    }
    focused = 1;
    return answer | entered | REDRAW;
}

Response ModalLayer::textInput(uint32_t codePoint)
{
    if (!isShown())
        return Layout::textInput(codePoint);
    return (focused == 1 ? dispatch([&] { return Layout::textInput(codePoint); }) : 0) | HANDLED;
}

Response ModalLayer::keyPress(const KeyEvent& event)
{
    if (!isShown())
        return dispatch([&] { return Layout::keyPress(event); });
    if (event.key == KEY_ESCAPE)
        return cancel();
    if (event.key == KEY_TAB) {
        // Answered here, so the window's own Tab handling never moves the focus out.
        const bool backwards = event.modifiers & MOD_SHIFT;
        return focusTraverse(backwards ? 1 : 0) | HANDLED | REDRAW;
    }
    // Every other key stops here: nothing outside the panel acts while it is shown.
    return (focused == 1 ? dispatch([&] { return Layout::keyPress(event); }) : 0) | HANDLED;
}

Response ModalLayer::keyRelease(const KeyEvent& event)
{
    if (!isShown())
        return dispatch([&] { return Layout::keyRelease(event); });
    return (focused == 1 ? dispatch([&] { return Layout::keyRelease(event); }) : 0) | HANDLED;
}

// [SECTION] mouse

int64_t ModalLayer::childAt(Vector2 position)
{
    // While a panel is shown the content is never under the pointer.
    if (isShown())
        return children[1].rect.containsStrictly(position) ? 1 : -1;
    return childComponent(0) && children[0].rect.containsStrictly(position) ? 0 : -1;
}

Response ModalLayer::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    const Response swallowed = isShown() ? Response(HANDLED) : 0;
    return dispatch([&] { return Layout::mousePress(event, clicks); }) | swallowed;
}

Response ModalLayer::mouseRelease(const MouseButtonEvent& event)
{
    return dispatch([&] { return Layout::mouseRelease(event); });
}

Response ModalLayer::mouseWheel(const MouseWheelEvent& event)
{
    const Response swallowed = isShown() ? Response(HANDLED) : 0;
    return dispatch([&] { return Layout::mouseWheel(event); }) | swallowed;
}

Response ModalLayer::mouseMove(const MouseMoveEvent& event, bool isHovered)
{
    return dispatch([&] { return Layout::mouseMove(event, isHovered); });
}

Response ModalLayer::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return dispatch([&] { return Layout::mousePressOutside(event, clicks); });
}

} // namespace orvex::gui
