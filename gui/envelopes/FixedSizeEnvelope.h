// FixedSizeEnvelope: gives its content a fixed width and height (cut to what the parent can
// offer). Its size never depends on the content, so every relayout request from below is
// answered here by laying the content out again in place.
#pragma once

#include "gui/Dimension.h"
#include "gui/envelopes/RelayoutableEnvelope.h"

#include <utility>

namespace orvex::gui {

class FixedSizeEnvelope : public RelayoutableEnvelope {
public:
    // `size`: width, then height.
    FixedSizeEnvelope(std::pair<Dimension, Dimension> size, UniquePtr<Component> content = nullptr)
        : RelayoutableEnvelope(std::move(content)), width(size.first), height(size.second)
    {
    }

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
    Response filterResponse(Response flags) override;

    Dimension width;
    Dimension height;
};

} // namespace orvex::gui
