// PaddedEnvelope (application): margins rounded to whole pixels (halves away from zero).
#include "gui/envelopes/app/PaddedEnvelope.h"

#include <cmath>

using orvex::gui::Rect;
using orvex::gui::Vector2;

Vector2 PaddedEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Rect margins { std::round(left.resolve(scale)), std::round(top.resolve(scale)), std::round(right.resolve(scale)),
                         std::round(bottom.resolve(scale)) };
    return layoutWithMargins(minimum, maximum, scale, final, margins);
}
