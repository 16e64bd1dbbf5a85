// Component: a node of the window's component tree. Every operation answers with response flags
// that tell the parent (and at the top, the window) whether the event was consumed, whether the
// component wants the keyboard focus, and whether the window must redraw or lay out again. Parents
// route events to children, translate positions into the child's frame and combine the answers.
// Window thread only.
#pragma once

#include "engine/core/Clock.h"
#include "engine/core/UniquePtr.h"
#include "engine/window/Events.h"
#include "gui/Geometry.h"
#include "gui/Renderer.h"

#include <cstdint>
#include <optional>

namespace orvex::gui {

class TextObject;

using Response = uint32_t;
enum ResponseFlag : Response {
    HANDLED = 0x01,         // the event was consumed (focus: the target was found; draw: drew something)
    TAKE_FOCUS = 0x02,      // the component (or one below it) wants the keyboard focus
    REDRAW = 0x04,          // the window must be repainted
    RELAYOUT_WIDTH = 0x10,  // a width below may have changed: lay the tree out again
    RELAYOUT_HEIGHT = 0x20, // a height below may have changed
};
// The answer of a side effect (such as the loseFocus of the child that loses the focus) combined
// with the answer of the event itself: it neither consumes the event nor takes the focus.
inline Response sideEffect(Response answer) { return answer & ~Response(HANDLED | TAKE_FOCUS); }
// A copy of a positioned event in the frame of a child whose top-left corner is `origin`.
template <typename Event>
Event translated(const Event& event, Vector2 origin)
{
    Event copy = event;
    copy.x -= origin.x;
    copy.y -= origin.y;
    return copy;
}
// The bit of a mouse button in a pressed-buttons mask (bit n for button n); 0 for a button number
// the mask cannot hold, so such a button never captures anything.
inline uint32_t buttonBit(int button) { return button >= 0 && button < 32 ? uint32_t(1) << button : 0; }

// Counts consecutive presses of the same mouse button; one per window. A sequence continues only
// while some component reads the count of each press.
class ClickSequence {
public:
    int clickCount()
    {
        queried = true;
        return count;
    }
    // Around the root's mousePress: before it, and after it (also when it throws).
    void beforePress(int button);
    void afterPress(int button);

    int count = 0;
    bool queried = false;
    bool tracking = false;
    int lastButton = 0;
    double interval = 0.5; // seconds
    orvex::TimePoint lastPressTime {};

private:
    std::optional<orvex::TimePoint> pressTime; // taken in beforePress, when the sequence may go on
};

class Component {
public:
    class Configurator;
    class Visitor;

    // Not owned; null: the renderer's default colours.
    const Renderer::StyleObject* style = nullptr;

    virtual ~Component() = default;
    // Sets `style` to what the configurator gives; containers then configure every child.
    virtual void configure(Configurator& configurator);
    // enter, then (containers) every child, then leave; leave also when a child throws.
    virtual void traverse(Visitor& visitor);
    // The component's size between `minimum` and `maximum`; `final` is 1 for the real layout and
    // 0 when a container only measures.
    virtual Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) = 0;
    // The keyboard-focused element's rectangle in this component's frame.
    virtual std::optional<Rect> focusBounds();
    virtual Response draw(Renderer& renderer) = 0;
    // If `target` is this component: gainFocus() | HANDLED; otherwise 0.
    virtual Response focus(Component* target);
    virtual Response gainFocus();
    virtual Response textInput(uint32_t codePoint);
    virtual Response keyPress(const KeyEvent& event);
    virtual Response keyRelease(const KeyEvent& event);
    virtual Response mousePress(const MouseButtonEvent& event, ClickSequence& clicks);
    virtual Response mouseRelease(const MouseButtonEvent& event);
    virtual Response mouseWheel(const MouseWheelEvent& event);
    virtual Response mouseMove(const MouseMoveEvent& event, bool hovered);
    virtual Response mouseLeave();
    virtual Response mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks);
    virtual Response mouseWheelOutside(const MouseWheelEvent& event);
    virtual Response mouseMoveOutside(const MouseMoveEvent& event);
    // 0 next, 1 previous, 2 first, 3 last; HANDLED: the focus now rests inside this component.
    virtual Response focusTraverse(int direction);
    virtual Response loseFocus();
    virtual Response forwardToFocus(void* first, void* second, void* third);
    // Drop every pressed, hovered or captured state.
    virtual Response resetInput();

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale) { return layout(minimum, maximum, scale, 1); }
};

class Component::Configurator {
public:
    virtual ~Configurator() = default;
    virtual const Renderer::StyleObject* configureStyle(Component* component, const Renderer::StyleObject* current) = 0;
    // The text object the component shall use; ownership passes to the component, which deletes
    // its old one when it differs.
    virtual TextObject* configureText(Component* component, TextObject* current) = 0;
    virtual void* passThrough(Component* component, void* value) { (void)component; return value; }
    virtual void* none(Component* component) { (void)component; return nullptr; }
};

class Component::Visitor {
public:
    virtual ~Visitor() = default;
    virtual void enter(Component* component) = 0;
    virtual void leave(Component* component) = 0;
};

// A component with one optional child, to which every operation goes unchanged.
class EnvelopePrototype : public Component {
public:
    explicit EnvelopePrototype(UniquePtr<Component> content = nullptr) : content(std::move(content)) {}

    // Stores the new content and returns the previous one; passing the envelope's own content
    // returns null and changes nothing.
    virtual UniquePtr<Component> setContent(UniquePtr<Component>&& newContent);

    void configure(Configurator& configurator) override;
    void traverse(Visitor& visitor) override;
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
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

    UniquePtr<Component> content;
};

// A single-child component whose child may sit at an offset.
class Envelope : public EnvelopePrototype {
public:
    using EnvelopePrototype::EnvelopePrototype;

    // The child's top-left corner in this component's frame.
    virtual Vector2 contentOffset() { return {}; }

    std::optional<Rect> focusBounds() override;
    Response draw(Renderer& renderer) override;
    Response mousePress(const MouseButtonEvent& event, ClickSequence& clicks) override;
    Response mouseRelease(const MouseButtonEvent& event) override;
    Response mouseWheel(const MouseWheelEvent& event) override;
    Response mouseMove(const MouseMoveEvent& event, bool hovered) override;
    Response mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks) override;
    Response mouseWheelOutside(const MouseWheelEvent& event) override;
    Response mouseMoveOutside(const MouseMoveEvent& event) override;
};

} // namespace orvex::gui
