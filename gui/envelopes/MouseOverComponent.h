// MouseOverComponent: remembers whether the pointer is over its content and draws the content
// with the renderer's HOVER state bit accordingly; asks for a repaint when that changes.
#pragma once

#include "gui/Component.h"

namespace orvex::gui {

class MouseOverComponent : public EnvelopePrototype {
public:
    explicit MouseOverComponent(UniquePtr<Component> content = nullptr) : EnvelopePrototype(std::move(content)) {}

    Response draw(Renderer& renderer) override;
    Response mouseMove(const MouseMoveEvent& event, bool hovered) override;
    Response mouseLeave() override;
    Response resetInput() override;

    bool hovered = false;

private:
    Response unhover();
};

} // namespace orvex::gui
