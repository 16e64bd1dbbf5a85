// ScaledEnvelope: lays its content out at a multiple of the scale it is given (larger or smaller
// text and margins for one part of a screen).
#pragma once

#include "gui/Component.h"

class ScaledEnvelope : public orvex::gui::EnvelopePrototype {
public:
    ScaledEnvelope(double factor, orvex::UniquePtr<orvex::gui::Component> content = nullptr)
        : EnvelopePrototype(std::move(content)), factor(factor)
    {
    }

    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override
    {
        return EnvelopePrototype::layout(minimum, maximum, scale * factor, final);
    }

    double factor;
};
