// Layout: child list, drawing, and the routing of focus, hover, capture and keyboard traversal.
//
// Index: [SECTION] children  [SECTION] tree walks and drawing  [SECTION] focus and keyboard
//        [SECTION] mouse  [SECTION] traversal
#include "gui/layouts/Layout.h"

#include <cassert>

namespace orvex::gui {

// [SECTION] children

Layout::Layout(int64_t expectedChildren)
{
    if (expectedChildren > 0)
        children.reserve(size_t(expectedChildren));
}

Layout::~Layout()
{
    // Last to first, so a child never outlives one added after it.
    while (!children.empty())
        children.pop_back();
}

UniquePtr<Component> Layout::setChild(int64_t index, UniquePtr<Component> component)
{
    assert(index >= 0 && "Layout::setChild: the index must not be negative");
    if (index < count()) {
        UniquePtr<Component> previous = std::move(children[size_t(index)].component);
        children[size_t(index)].component = std::move(component);
        if (focused == index)
            focused = -1;
        if (captured == index)
            captured = -1;
        if (hovered == index)
            hovered = -1;
        return previous;
    }
    const size_t needed = size_t(index) + 1;
    if (children.capacity() < needed)
        children.reserve(needed * 3 / 2 + 15);
    children.resize(needed);
    children.back().component = std::move(component);
    return nullptr;
}

void Layout::setChildRect(int64_t index, const Rect& rect)
{
    assert(index >= 0 && index < count() && "Layout::setChildRect: add the child before placing it");
    children[size_t(index)].rect = rect;
}

Component* Layout::childComponent(int64_t index) const
{
    return index >= 0 && index < count() ? children[size_t(index)].component.get() : nullptr;
}

int64_t Layout::childAt(Vector2 position)
{
    for (int64_t i = 0; i < count(); ++i) {
        if (children[size_t(i)].rect.containsStrictly(position))
            return i;
    }
    return -1;
}

int64_t Layout::hit(Vector2 position)
{
    const int64_t index = childAt(position);
    return childComponent(index) ? index : -1;
}

// [SECTION] tree walks and drawing

void Layout::configure(Configurator& configurator)
{
    Component::configure(configurator);
    for (Entry& entry : children) {
        if (entry.component)
            entry.component->configure(configurator);
    }
}

void Layout::traverse(Visitor& visitor)
{
    visitor.enter(this);
    try {
        for (Entry& entry : children) {
            if (entry.component)
                entry.component->traverse(visitor);
        }
    } catch (...) {
        visitor.leave(this);
        throw;
    }
    visitor.leave(this);
}

Response Layout::drawChild(Renderer& renderer, int64_t index)
{
    Component* child = childComponent(index);
    if (!child)
        return 0;
    OffsetScope offset(renderer, origin(index));
    const bool onFocusPath = (renderer.state & Renderer::FOCUSED) && index == focused;
    Renderer::StateScope focus(renderer, onFocusPath ? uint32_t(Renderer::FOCUSED) : 0u, Renderer::FOCUSED);
    return child->draw(renderer);
}

Response Layout::draw(Renderer& renderer)
{
    Response answer = 0;
    for (int64_t i = 0; i < count(); ++i)
        answer |= drawChild(renderer, i);
    return answer;
}

std::optional<Rect> Layout::focusBounds()
{
    Component* child = childComponent(focused);
    if (!child)
        return std::nullopt;
    std::optional<Rect> bounds = child->focusBounds();
    if (bounds)
        *bounds = bounds->offset(origin(focused));
    return bounds;
}

// [SECTION] focus and keyboard

Response Layout::changeFocus(int64_t index)
{
    Response answer = 0;
    if (focused != index) {
        if (Component* previous = childComponent(focused))
            answer = sideEffect(previous->loseFocus());
    }
    focused = index;
    return answer;
}

Response Layout::changeHover(int64_t index)
{
    Response answer = 0;
    if (hovered != index) {
        if (Component* previous = childComponent(hovered))
            answer = sideEffect(previous->mouseLeave());
    }
    hovered = index;
    return answer;
}

Response Layout::focus(Component* target)
{
    Response answer = Component::focus(target);
    if (answer & HANDLED)
        return answer;
    for (int64_t i = 0; i < count(); ++i) {
        Component* child = childComponent(i);
        if (!child)
            continue;
        const Response childAnswer = child->focus(target);
        answer |= childAnswer;
        if (childAnswer & HANDLED)
            return answer | changeFocus(i);
    }
    return answer;
}

Response Layout::gainFocus()
{
    Component* child = childComponent(focused);
    return child ? child->gainFocus() : 0;
}

Response Layout::textInput(uint32_t codePoint)
{
    Component* child = childComponent(focused);
    return child ? child->textInput(codePoint) : 0;
}

Response Layout::keyPress(const KeyEvent& event)
{
    Component* child = childComponent(focused);
    return child ? child->keyPress(event) : 0;
}

Response Layout::keyRelease(const KeyEvent& event)
{
    Component* child = childComponent(focused);
    return child ? child->keyRelease(event) : 0;
}

Response Layout::forwardToFocus(void* first, void* second, void* third)
{
    Component* child = childComponent(focused);
    return child ? child->forwardToFocus(first, second, third) : 0;
}

Response Layout::loseFocus()
{
    Component* child = childComponent(focused);
    if (!child)
        return 0;
    const Response answer = child->loseFocus();
    focused = -1;
    return answer | HANDLED;
}

Response Layout::resetInput()
{
    Response answer = 0;
    if (Component* child = childComponent(focused))
        answer |= child->resetInput() | HANDLED;
    if (captured != focused) {
        if (Component* child = childComponent(captured))
            answer |= child->resetInput() | HANDLED;
    }
    if (hovered != focused && hovered != captured) {
        if (Component* child = childComponent(hovered))
            answer |= child->resetInput() | HANDLED;
    }
    captured = -1;
    hovered = -1;
    pressedButtons = 0;
    return answer;
}

// [SECTION] mouse

Response Layout::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    const uint32_t heldBefore = pressedButtons & ~buttonBit(event.button);
    pressedButtons |= buttonBit(event.button);

    // A further button while one is held belongs to the child that has the mouse.
    if (heldBefore) {
        if (Component* child = childComponent(captured)) {
            Response answer = child->mousePress(translated(event, origin(captured)), clicks);
            if (answer & TAKE_FOCUS)
                answer |= changeFocus(captured);
            return answer;
        }
    }

    const int64_t index = hit({ event.x, event.y });
    Response answer = 0;
    if (Component* focusedChild = childComponent(focused); focusedChild && index != focused) {
        const Response outside = focusedChild->mousePressOutside(translated(event, origin(focused)), clicks);
        if (outside & HANDLED) {
            captured = focused;
            return outside;
        }
        answer |= outside & ~Response(TAKE_FOCUS);
    }
    if (index < 0)
        return answer;
    const Response childAnswer = childComponent(index)->mousePress(translated(event, origin(index)), clicks);
    answer |= childAnswer;
    if (childAnswer & HANDLED)
        captured = index;
    if (childAnswer & TAKE_FOCUS)
        answer |= changeFocus(index);
    return answer;
}

Response Layout::mouseRelease(const MouseButtonEvent& event)
{
    pressedButtons &= ~buttonBit(event.button);
    int64_t index = captured;
    if (!childComponent(index)) {
        index = hit({ event.x, event.y });
        if (index < 0)
            return 0;
    }
    Response answer = childComponent(index)->mouseRelease(translated(event, origin(index)));
    if (answer & TAKE_FOCUS)
        answer |= changeFocus(index);
    if (index == captured && pressedButtons == 0)
        captured = -1;
    return answer;
}

Response Layout::mouseMove(const MouseMoveEvent& event, bool isHovered)
{
    const Vector2 position { event.x, event.y };
    Response answer = 0;
    int64_t served = -1;
    if (pressedButtons) {
        if (Component* child = childComponent(captured)) {
            served = captured;
            const bool over = isHovered && children[size_t(captured)].rect.containsStrictly(position);
            const Response childAnswer = child->mouseMove(translated(event, origin(captured)), over);
            answer |= childAnswer;
            if (childAnswer & TAKE_FOCUS)
                answer |= changeFocus(captured);
            if (childAnswer & HANDLED)
                return answer | changeHover(captured);
            answer &= ~Response(TAKE_FOCUS);
        }
    }

    const int64_t index = isHovered ? hit(position) : -1;
    if (Component* focusedChild = childComponent(focused); focusedChild && index != focused) {
        const Response outside = focusedChild->mouseMoveOutside(translated(event, origin(focused)));
        if (outside & HANDLED)
            return answer | outside | changeHover(focused);
        answer |= outside & ~Response(TAKE_FOCUS);
    }
    if (!isHovered)
        return answer;
    answer |= changeHover(index);
    if (index >= 0 && index != served) {
        const Response childAnswer = childComponent(index)->mouseMove(translated(event, origin(index)), true);
        answer |= childAnswer;
        if (childAnswer & TAKE_FOCUS)
            answer |= changeFocus(index);
    }
    return answer;
}

Response Layout::mouseWheel(const MouseWheelEvent& event)
{
    const int64_t index = hit({ event.x, event.y });
    Response answer = 0;
    if (Component* focusedChild = childComponent(focused); focusedChild && index != focused) {
        const Response outside = focusedChild->mouseWheelOutside(translated(event, origin(focused)));
        if (outside & HANDLED)
            return outside;
        answer |= outside & ~Response(TAKE_FOCUS);
    }
    if (index < 0)
        return answer;
    const Response childAnswer = childComponent(index)->mouseWheel(translated(event, origin(index)));
    answer |= childAnswer;
    if (childAnswer & TAKE_FOCUS)
        answer |= changeFocus(index);
    return answer;
}

Response Layout::mouseLeave()
{
    Component* child = childComponent(hovered);
    hovered = -1;
    return child ? child->mouseLeave() : 0;
}

Response Layout::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    if (pressedButtons) {
        if (Component* child = childComponent(captured))
            return child->mousePressOutside(translated(event, origin(captured)), clicks);
    }
    Component* child = childComponent(focused);
    if (!child)
        return 0;
    const Response answer = child->mousePressOutside(translated(event, origin(focused)), clicks);
    if (answer & HANDLED) {
        captured = focused;
        pressedButtons = buttonBit(event.button);
    }
    return answer;
}

Response Layout::mouseWheelOutside(const MouseWheelEvent& event)
{
    Component* child = childComponent(focused);
    return child ? child->mouseWheelOutside(translated(event, origin(focused))) : 0;
}

Response Layout::mouseMoveOutside(const MouseMoveEvent& event)
{
    Component* child = childComponent(focused);
    if (!child)
        return 0;
    const Response answer = child->mouseMoveOutside(translated(event, origin(focused)));
    return answer & HANDLED ? answer | changeHover(focused) : answer;
}

// [SECTION] traversal

Response Layout::searchFocus(int64_t from, int step)
{
    const int childDirection = step > 0 ? 2 : 3;
    Response answer = 0;
    for (int64_t i = from + step; i >= 0 && i < count(); i += step) {
        focused = i;
        Component* child = childComponent(i);
        if (!child)
            continue;
        const Response childAnswer = child->focusTraverse(childDirection);
        if (childAnswer & HANDLED)
            return answer | childAnswer;
        answer |= childAnswer & ~Response(TAKE_FOCUS);
    }
    // Ran off the end: the focus leaves this layout, and the caller (at the top, the window)
    // decides where it goes next.
    focused = -1;
    return answer & ~Response(HANDLED | TAKE_FOCUS);
}

Response Layout::focusTraverse(int direction)
{
    switch (direction) {
    case 0:
    case 1: {
        Component* child = childComponent(focused);
        if (!child)
            return 0;
        const Response childAnswer = child->focusTraverse(direction);
        if (childAnswer & HANDLED)
            return childAnswer;
        return (childAnswer & ~Response(TAKE_FOCUS)) | searchFocus(focused, direction == 0 ? 1 : -1);
    }
    case 2:
        return searchFocus(-1, 1);
    case 3:
        return searchFocus(count(), -1);
    default:
        return 0;
    }
}

} // namespace orvex::gui
