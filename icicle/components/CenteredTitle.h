// CenteredTitle: places the start screen's title, a chart label (RootDirectoryLabel over a
// titleVertex), so that its text is centred with a margin on both sides. The label program starts
// the text at its cell's left edge and keeps half a text unit free after it, so a cell centred on
// its own leaves the text left of centre; this envelope gives the label a cell just wide enough for
// the text at the height it wants, and shifts it so that the text itself lies in the middle. In a
// narrow window the title shrinks to keep its margins. Main thread.
#pragma once

#include "gui/envelopes/InsetEnvelope.h"
#include "icicle/GeometryVertex.h"

class CenteredTitle : public orvex::gui::InsetEnvelope {
public:
    static constexpr double HEIGHT = 160; // the label's height at scale 1 when the width allows it
    static constexpr double MARGIN = 16;  // at least this much room left and right of the text

    // `title` is the vertex the label draws (its name width and the depth of its cell); `label`
    // draws it across whatever cell it is given.
    CenteredTitle(const GeometryVertex& title, orvex::UniquePtr<orvex::gui::Component> label);

    // As wide as the text with its margins (at least `minimum`), cut to `maximum`.
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;

private:
    double nameWidth;  // the title's width in text units
    double cellDepth;  // the title cell's height in rows of the label (it reaches below the label)
};
