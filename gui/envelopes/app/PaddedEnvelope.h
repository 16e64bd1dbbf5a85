// PaddedEnvelope (application): the framework's padded envelope with every margin rounded to
// whole pixels after scaling, so padded text and backgrounds sit on the pixel grid.
#pragma once

#include "gui/envelopes/PaddedEnvelope.h"

class PaddedEnvelope : public orvex::gui::PaddedEnvelope {
public:
    using orvex::gui::PaddedEnvelope::PaddedEnvelope;

    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
};
