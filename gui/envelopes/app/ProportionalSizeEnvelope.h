// ProportionalSizeEnvelope: per axis, gives its content a share of the space beyond a base
// (content limit = (limit - base) x factor + base) and grows itself back so that the content's
// share holds again; the content is placed by `alignment` (0 start, 0.5 centre, 1 end).
#pragma once

#include "gui/envelopes/InsetEnvelope.h"

class ProportionalSizeEnvelope : public orvex::gui::InsetEnvelope {
public:
    // One axis: the length that is not scaled, and the content's share of the rest.
    struct Proportion {
        double base = 0;
        double factor = 1; // positive
    };

    ProportionalSizeEnvelope(Proportion x, Proportion y, orvex::gui::Vector2 alignment,
                             orvex::UniquePtr<orvex::gui::Component> content = nullptr);

    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;

    Proportion x;
    Proportion y;
    orvex::gui::Vector2 alignment;
};
