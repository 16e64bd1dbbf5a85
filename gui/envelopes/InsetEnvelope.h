// InsetEnvelope: an envelope whose content occupies a rectangle inside it (`childRect`, computed
// by each subclass's layout). It translates positions into the content's frame, tracks whether
// the pointer is over the content, and keeps sending a pressed button's events to the content
// until that button is released, wherever the pointer goes.
#pragma once

#include "gui/Component.h"

namespace orvex::gui {

class InsetEnvelope : public EnvelopePrototype {
public:
    using EnvelopePrototype::EnvelopePrototype;

    std::optional<Rect> focusBounds() override;
    Response draw(Renderer& renderer) override;
    Response mousePress(const MouseButtonEvent& event, ClickSequence& clicks) override;
    Response mouseRelease(const MouseButtonEvent& event) override;
    Response mouseWheel(const MouseWheelEvent& event) override;
    Response mouseMove(const MouseMoveEvent& event, bool hovered) override;
    Response mouseLeave() override;
    Response mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks) override;
    Response mouseWheelOutside(const MouseWheelEvent& event) override;
    Response mouseMoveOutside(const MouseMoveEvent& event) override;
    Response resetInput() override;

    Rect childRect;                // the content's rectangle in this envelope's frame
    uint32_t capturedButtons = 0;  // bit n while button n's press went to the content
    bool pointerInside = false;    // the content was told the pointer is over it

protected:
    bool inside(double x, double y) const { return childRect.containsStrictly({ x, y }); }
};

} // namespace orvex::gui
