// ForegroundEnvelope: covers its content with its style's colour in a blend mode of its own
// (a tint or a fade drawn over what the content drew).
#pragma once

#include "gui/Component.h"

class ForegroundEnvelope : public orvex::gui::EnvelopePrototype {
public:
    ForegroundEnvelope(const orvex::gui::Renderer::StyleObject* overlayStyle, int blendMode,
                       orvex::UniquePtr<orvex::gui::Component> content = nullptr)
        : EnvelopePrototype(std::move(content)), blendMode(blendMode)
    {
        style = overlayStyle;
    }

    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;

    int kind = 0;      // passed to Renderer::fillRectangle
    int blendMode;     // the renderer's blend mode while the overlay is filled
    orvex::gui::Vector2 size; // the result of the last layout
};
