// Layout: the base of multi-child components. It owns an ordered list of children, each with a
// rectangle in the layout's frame that the subclass's `layout` computes, draws them in list
// order, and routes input: keyboard events along the focus path, mouse events to the child
// under the pointer or to the child that captured the mouse while buttons are held, and the
// "outside" variants to the focused child first.
#pragma once

#include "gui/Component.h"

#include <cstdint>
#include <vector>

namespace orvex::gui {

class Layout : public Component {
public:
    struct Entry {
        UniquePtr<Component> component; // null allowed: an empty slot
        Rect rect;                      // in the layout's frame
    };

    // Reserves room for `expectedChildren` entries.
    explicit Layout(int64_t expectedChildren = 0);
    ~Layout() override;

    // Stores `component` at `index` and returns the component it replaces (the caller owns it);
    // grows the list with empty slots when the index is beyond it. Focus, capture and hover that
    // pointed at a replaced child are dropped.
    UniquePtr<Component> setChild(int64_t index, UniquePtr<Component> component);
    void setChildRect(int64_t index, const Rect& rect);
    int64_t count() const { return int64_t(children.size()); }
    // The component at `index`, or null for an empty slot or an index out of range.
    Component* childComponent(int64_t index) const;

    // The child whose rectangle holds the position strictly, first in list order; -1 if none.
    virtual int64_t childAt(Vector2 position);

    void configure(Configurator& configurator) override;
    void traverse(Visitor& visitor) override;
    std::optional<Rect> focusBounds() override;
    Response draw(Renderer& renderer) override;
    Response focus(Component* target) override;
    Response gainFocus() override;
    Response textInput(uint32_t codePoint) override;
    Response keyPress(const KeyEvent& event) override;
    Response keyRelease(const KeyEvent& event) override;
    Response mousePress(const MouseButtonEvent& event, ClickSequence& clicks) override;
    Response mouseRelease(const MouseButtonEvent& event) override;
    Response mouseWheel(const MouseWheelEvent& event) override;
    Response mouseMove(const MouseMoveEvent& event, bool hovered) override;
    Response mouseLeave() override;
    Response mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks) override;
    Response mouseWheelOutside(const MouseWheelEvent& event) override;
    Response mouseMoveOutside(const MouseMoveEvent& event) override;
    Response focusTraverse(int direction) override;
    Response loseFocus() override;
    Response forwardToFocus(void* first, void* second, void* third) override;
    Response resetInput() override;

    std::vector<Entry> children;
    int64_t focused = -1;        // the child holding the keyboard focus
    int64_t captured = -1;       // the child that owns the mouse while buttons are held
    int64_t hovered = -1;        // the child under the pointer
    uint32_t pressedButtons = 0; // bit n while button n is held over this layout

protected:
    // Draws one child at its rectangle's top-left, with Renderer::FOCUSED kept only for the
    // focused child.
    Response drawChild(Renderer& renderer, int64_t index);

private:
    // childAt, with an empty slot counting as no child.
    int64_t hit(Vector2 position);
    Vector2 origin(int64_t index) const { return children[size_t(index)].rect.topLeft(); }
    // Moves the focus (or the hover) to `index`; the child that loses it is told, and that
    // answer comes back as a side effect.
    Response changeFocus(int64_t index);
    Response changeHover(int64_t index);
    Response searchFocus(int64_t from, int step);
};

} // namespace orvex::gui
