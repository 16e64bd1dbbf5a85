// OverlaidComponents: two components in the same area, `back` drawn first and laid out at the
// size the content takes; all input goes to the content (the one in front).
#pragma once

#include "gui/Component.h"

class OverlaidComponents : public orvex::gui::EnvelopePrototype {
public:
    OverlaidComponents(orvex::UniquePtr<orvex::gui::Component> back, orvex::UniquePtr<orvex::gui::Component> content = nullptr)
        : EnvelopePrototype(std::move(content)), back(std::move(back))
    {
    }

    void configure(Configurator& configurator) override;
    void traverse(Visitor& visitor) override;
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;

    orvex::UniquePtr<orvex::gui::Component> back;
};
