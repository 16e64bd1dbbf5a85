// MinWidthEnvelope: makes its content at least a given width (cut to the parent's maximum).
#pragma once

#include "gui/Dimension.h"
#include "gui/envelopes/RelayoutableEnvelope.h"

namespace orvex::gui {

class MinWidthEnvelope : public RelayoutableEnvelope {
public:
    MinWidthEnvelope(Dimension minWidth, UniquePtr<Component> content = nullptr)
        : RelayoutableEnvelope(std::move(content)), minWidth(minWidth)
    {
    }

    // The content's minimum width is this envelope's own; the incoming minimum width is not
    // consulted.
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;

    Dimension minWidth;
};

} // namespace orvex::gui
