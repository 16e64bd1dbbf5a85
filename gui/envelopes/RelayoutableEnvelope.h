// RelayoutableEnvelope: an envelope that remembers its last layout so it can absorb relayout
// requests from below. When its size cannot change (laid out with equal limits and the content
// took exactly them: `tight`), a request is answered by laying the content out again in place
// instead of sending the whole window through a layout. Subclasses fix the size in other ways.
#pragma once

#include "gui/Component.h"

namespace orvex::gui {

class RelayoutableEnvelope : public Envelope {
public:
    using Envelope::Envelope;

    // Applied to the content's answer of every operation except configure, traverse, layout,
    // focusBounds and setContent.
    virtual Response filterResponse(Response flags);

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
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

    Vector2 size;          // the result of the last layout
    double lastScale = 1.0;
    bool tight = false;    // equal limits, and the result was exactly them

protected:
    // Stores size, lastScale and tight from the limits this envelope received and its result.
    Vector2 remember(Vector2 minimum, Vector2 maximum, double scale, Vector2 result);
    // Lays the content out again at the stored size (final).
    void relayoutInPlace();
};

} // namespace orvex::gui
