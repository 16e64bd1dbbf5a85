// PaddedEnvelope: surrounds its content with margins on the four sides.
#pragma once

#include "gui/Dimension.h"
#include "gui/envelopes/InsetEnvelope.h"

namespace orvex::gui {

class PaddedEnvelope : public InsetEnvelope {
public:
    PaddedEnvelope(Dimension left, Dimension top, Dimension right, Dimension bottom, UniquePtr<Component> content = nullptr)
        : InsetEnvelope(std::move(content)), left(left), top(top), right(right), bottom(bottom)
    {
    }

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;

    Dimension left;
    Dimension top;
    Dimension right;
    Dimension bottom;

protected:
    // The layout with the margins already resolved to pixels; subclasses that resolve them
    // differently share it.
    Vector2 layoutWithMargins(Vector2 minimum, Vector2 maximum, double scale, int final, const Rect& margins);
};

} // namespace orvex::gui
