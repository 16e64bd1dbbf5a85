// CenteredTitle: the label program's sizing rule run backwards. For a cell of M by Z pixels (after
// the inset on each side) the text unit is min(M / (nameWidth + 0.5), 0.625 Z), and the text runs
// from the cell's inset left edge for nameWidth units.
#include "icicle/components/CenteredTitle.h"

#include <algorithm>
#include <cmath>

using orvex::gui::Vector2;

namespace {

constexpr double UNIT_PER_DEPTH = 0.625; // the text unit's largest share of the cell's height

// The label program's inset on each side: half the chart's cell gap of round(2 × scale) pixels.
double insetPixels(double scale) { return std::round(2.0 * scale) / 2.0; }

} // namespace

CenteredTitle::CenteredTitle(const GeometryVertex& title, orvex::UniquePtr<Component> label)
    : InsetEnvelope(std::move(label))
    , nameWidth(std::max(0.0, 1.0 / double(title.inverseLabelWidth) - 0.5))
    , cellDepth(double(title.row) + 1.0 - std::floor(double(title.row)))
{
}

Vector2 CenteredTitle::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const double inset = insetPixels(scale);
    const double margin = std::round(MARGIN * scale);
    // The unit the wanted height gives, unless the text, its half unit on either side, the insets
    // and the margins would not fit across.
    const double byHeight = UNIT_PER_DEPTH * (cellDepth * std::round(HEIGHT * scale) - 2 * inset);
    const double byWidth = (maximum.x - 2 * margin - 2 * inset) / (nameWidth + 1.0);
    const double unit = std::max(0.0, std::min(byHeight, byWidth));
    // The cell is as wide as the text and its trailing half unit, so both limits give this unit.
    const Vector2 cell { std::round(unit * (nameWidth + 0.5) + 2 * inset),
                         std::round((unit / UNIT_PER_DEPTH + 2 * inset) / cellDepth) };
    const double text = unit * nameWidth;
    const double wanted = std::round(text + unit + 2 * inset + 2 * margin);
    const Vector2 result { std::min(maximum.x, std::max(minimum.x, wanted)), std::min(maximum.y, std::max(minimum.y, cell.y)) };
    const double left = std::round(0.5 * (result.x - text) - inset);
    childRect = { left, 0, left + cell.x, cell.y };
    if (content)
        content->layout(cell, cell, scale, final);
    return result;
}
