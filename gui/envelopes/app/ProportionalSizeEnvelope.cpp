// ProportionalSizeEnvelope: proportional content limits, own size derived back from the content.
#include "gui/envelopes/app/ProportionalSizeEnvelope.h"

#include <algorithm>
#include <cassert>
#include <cmath>

using orvex::gui::Vector2;

namespace {

double contentLimit(double limit, double maximum, const ProportionalSizeEnvelope::Proportion& p)
{
    return std::min(maximum, std::floor((limit - p.base) * p.factor + p.base));
}

// The envelope's length on one axis for a content of length s.
double ownLength(double s, double minimum, double maximum, const ProportionalSizeEnvelope::Proportion& p)
{
    double t = std::floor(((p.factor - 1) * p.base + s) / p.factor);
    if (t < minimum)
        t = minimum;
    if (t > maximum)
        t = maximum;
    return t;
}

} // namespace

ProportionalSizeEnvelope::ProportionalSizeEnvelope(Proportion x, Proportion y, Vector2 alignment,
                                                   orvex::UniquePtr<orvex::gui::Component> content)
    : InsetEnvelope(std::move(content)), x(x), y(y), alignment(alignment)
{
    assert(x.factor > 0 && y.factor > 0 && "ProportionalSizeEnvelope: a factor must be positive");
}

Vector2 ProportionalSizeEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 innerMinimum { contentLimit(minimum.x, maximum.x, x), contentLimit(minimum.y, maximum.y, y) };
    const Vector2 innerMaximum { contentLimit(maximum.x, maximum.x, x), contentLimit(maximum.y, maximum.y, y) };
    const Vector2 inner = content ? content->layout(innerMinimum, innerMaximum, scale, final) : Vector2 {};
    const Vector2 result { ownLength(inner.x, minimum.x, maximum.x, x), ownLength(inner.y, minimum.y, maximum.y, y) };
    const Vector2 origin { std::floor((result.x - inner.x) * alignment.x), std::floor((result.y - inner.y) * alignment.y) };
    childRect = { origin.x, origin.y, origin.x + inner.x, origin.y + inner.y };
    return result;
}
