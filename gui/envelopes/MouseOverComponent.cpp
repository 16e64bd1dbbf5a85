// MouseOverComponent: hover tracking for the renderer's HOVER look.
#include "gui/envelopes/MouseOverComponent.h"

namespace orvex::gui {

Response MouseOverComponent::draw(Renderer& renderer)
{
    Renderer::StateScope scope(renderer, hovered ? uint32_t(Renderer::HOVER) : 0u, Renderer::HOVER);
    return EnvelopePrototype::draw(renderer);
}

Response MouseOverComponent::mouseMove(const MouseMoveEvent& event, bool isHovered)
{
    Response answer = EnvelopePrototype::mouseMove(event, isHovered);
    if (isHovered != hovered) {
        hovered = isHovered;
        answer |= HANDLED | REDRAW;
    }
    return answer;
}

Response MouseOverComponent::unhover()
{
    if (!hovered)
        return 0;
    hovered = false;
    return HANDLED | REDRAW;
}

Response MouseOverComponent::mouseLeave() { return EnvelopePrototype::mouseLeave() | unhover(); }
Response MouseOverComponent::resetInput() { return EnvelopePrototype::resetInput() | unhover(); }

} // namespace orvex::gui
