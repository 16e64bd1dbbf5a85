// IntegerSizeEnvelope: rounds its content's size down to whole pixels, so what follows it in a
// row or column starts on the pixel grid.
#pragma once

#include "gui/Component.h"

class IntegerSizeEnvelope : public orvex::gui::EnvelopePrototype {
public:
    explicit IntegerSizeEnvelope(orvex::UniquePtr<orvex::gui::Component> content = nullptr)
        : EnvelopePrototype(std::move(content))
    {
    }

    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
};
