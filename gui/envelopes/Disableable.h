// Disableable: switches its content off. While disabled the content receives no input and no
// focus (so keyboard traversal skips it) and draws with the renderer's DISABLED state bit set.
#pragma once

#include "gui/Component.h"

namespace orvex::gui {

class Disableable : public EnvelopePrototype {
public:
    explicit Disableable(UniquePtr<Component> content = nullptr) : EnvelopePrototype(std::move(content)) {}

    // Going from enabled to disabled first resets the content's input, so it drops pressed and
    // hovered states it could not drop later.
    void setDisabled(bool value);

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

    bool disabled = false;
};

} // namespace orvex::gui
