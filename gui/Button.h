// Button: turns any content into a push button. It tracks presses by the left mouse button and
// by Space, Enter and keypad Enter, shows the pressed look through the renderer's PRESSED state
// bit, and runs its callees on a completed click (press and release of the same key, or a left
// press and release without the pointer leaving in between). Input the content accepts (a press
// it captures, a focus inside it) stays with the content.
#pragma once

#include "engine/core/Callee.h"
#include "gui/Component.h"

namespace orvex::gui {

class Button : public EnvelopePrototype {
public:
    enum State : int {
        IDLE = 0,
        PRESSED_BY_MOUSE = 1,
        PRESSED_BY_ENTER = 2,
        PRESSED_BY_SPACE = 3,
        PRESSED_BY_KEYPAD_ENTER = 4,
        NOTIFYING = 5, // only while pressChanged runs
    };
    enum PressAction : int { PRESS = 0, CANCEL = 1, CLICK = 2 };

    explicit Button(UniquePtr<Component> content = nullptr) : EnvelopePrototype(std::move(content)) {}

    // Appends a callee that runs on every click, after those added before it.
    void addAction(UniquePtr<Callee<void>> action) { actions.append(std::move(action)); }

    // Told about every press, cancel and click with the modifiers of the press. This one runs the
    // enabled callees on a click and then asks for the focus.
    virtual Response pressChanged(int action, int modifiers);

    UniquePtr<Component> setContent(UniquePtr<Component>&& newContent) override;
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

    CalleeList<void> actions;
    Response feedback = HANDLED | REDRAW; // OR-ed in when the button's state changes; REDRAW enables the pressed look
    int state = IDLE;
    int pressModifiers = 0;               // of the press that started the current state
    uint32_t contentButtons = 0;          // bit n while the content holds button n's press
    bool contentFocused = false;          // the keyboard focus is inside the content, not on the button

private:
    // state := NOTIFYING, pressChanged(action, pressModifiers), state := IDLE.
    Response notify(int action);
    bool keyHeld() const { return state == PRESSED_BY_ENTER || state == PRESSED_BY_SPACE || state == PRESSED_BY_KEYPAD_ENTER; }
    // The content (if focused) loses the focus; its answer is not wanted.
    void takeFocusFromContent();
    // The focus moves past the button: a held key press is cancelled.
    Response leaveByTraversal(Response contentAnswer);
};

} // namespace orvex::gui
