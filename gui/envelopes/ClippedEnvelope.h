// ClippedEnvelope: keeps its content's drawing inside its own area.
#pragma once

#include "gui/Component.h"

namespace orvex::gui {

class ClippedEnvelope : public EnvelopePrototype {
public:
    explicit ClippedEnvelope(UniquePtr<Component> content = nullptr) : EnvelopePrototype(std::move(content)) {}

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override
    {
        room = maximum;
        size = EnvelopePrototype::layout(minimum, maximum, scale, final);
        return size;
    }

    Response draw(Renderer& renderer) override
    {
        ClipScope clip(renderer, { 0, 0, size.x, size.y });
        return EnvelopePrototype::draw(renderer);
    }

    Vector2 size; // the result of the last layout
    Vector2 room; // the maximum the last layout offered
};

} // namespace orvex::gui
