// BackgroundEnvelope: fills its area with its style's colour (for the renderer's current state)
// before the content draws over it.
#pragma once

#include "gui/Component.h"

namespace orvex::gui {

class BackgroundEnvelope : public EnvelopePrototype {
public:
    BackgroundEnvelope(const Renderer::StyleObject* backgroundStyle, UniquePtr<Component> content = nullptr)
        : EnvelopePrototype(std::move(content))
    {
        style = backgroundStyle;
    }

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
    Response draw(Renderer& renderer) override;

    int kind = 0;  // passed to Renderer::fillRectangle
    Vector2 size;  // the result of the last layout
};

} // namespace orvex::gui
