// MinHeightEnvelope: makes its content at least a given height (cut to the parent's maximum).
#pragma once

#include "gui/Dimension.h"
#include "gui/envelopes/RelayoutableEnvelope.h"

namespace orvex::gui {

class MinHeightEnvelope : public RelayoutableEnvelope {
public:
    MinHeightEnvelope(Dimension minHeight, UniquePtr<Component> content = nullptr)
        : RelayoutableEnvelope(std::move(content)), minHeight(minHeight)
    {
    }

    // The content's minimum height is this envelope's own; the incoming minimum height is not
    // consulted.
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;

    Dimension minHeight;
};

} // namespace orvex::gui
