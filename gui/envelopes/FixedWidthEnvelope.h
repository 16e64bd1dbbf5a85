// FixedWidthEnvelope: gives its content a fixed width (cut to the parent's maximum) and lets it
// choose its height. A width change below cannot change this envelope's size, so it is absorbed
// here; a height change still goes up to the window.
#pragma once

#include "gui/Dimension.h"
#include "gui/envelopes/RelayoutableEnvelope.h"

namespace orvex::gui {

class FixedWidthEnvelope : public RelayoutableEnvelope {
public:
    FixedWidthEnvelope(Dimension width, UniquePtr<Component> content = nullptr)
        : RelayoutableEnvelope(std::move(content)), width(width)
    {
    }

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
    Response filterResponse(Response flags) override;

    Dimension width;
};

} // namespace orvex::gui
