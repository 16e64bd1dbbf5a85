// CenteredComponent: lays its content out at its natural size and centres it in the space it
// is given (on whole pixels).
#pragma once

#include "gui/envelopes/InsetEnvelope.h"

class CenteredComponent : public orvex::gui::InsetEnvelope {
public:
    explicit CenteredComponent(orvex::UniquePtr<orvex::gui::Component> content = nullptr)
        : InsetEnvelope(std::move(content))
    {
    }

    // At least `minimum`, and as large as the content; not cut to `maximum`.
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
};
