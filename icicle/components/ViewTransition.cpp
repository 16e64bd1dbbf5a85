// ViewTransition: smoothstep easing; the width interpolates in log space and the left edge keeps
// the same share of the way between the two left edges, measured against the width's progress,
// so a zoom into a folder at the far right does not swing through the middle of the tree first.
#include "icicle/components/ViewTransition.h"

#include <cmath>

void ViewTransition::start(const IcicleView& view, const IcicleView& target, double duration)
{
    from = { view.visibleStart, view.visibleEnd, view.firstRow, view.rowScale };
    to = { target.visibleStart, target.visibleEnd, target.firstRow, target.rowScale };
    length = duration > 0.0 ? duration : 0.0;
    elapsed = 0.0;
    active = true;
}

void ViewTransition::apply(double progress, IcicleView& view) const
{
    const double t = progress * progress * (3.0 - 2.0 * progress);
    const double fromWidth = from.end - from.start, toWidth = to.end - to.start;
    double width = fromWidth + (toWidth - fromWidth) * t;
    if (fromWidth > 0.0 && toWidth > 0.0)
        width = fromWidth * std::pow(toWidth / fromWidth, t);
    // The share of the width change done so far moves the left edge by the same share.
    const double share = toWidth != fromWidth ? (width - fromWidth) / (toWidth - fromWidth) : t;
    view.visibleStart = from.start + (to.start - from.start) * share;
    view.visibleEnd = view.visibleStart + width;
    view.firstRow = from.row + (to.row - from.row) * t;
    view.rowScale = from.rowScale * std::pow(to.rowScale / from.rowScale, t);
}

bool ViewTransition::step(double dt, IcicleView& view)
{
    if (!active)
        return false;
    elapsed += dt > 0.0 ? dt : 0.0;
    if (elapsed >= length) {
        finish(view);
        return true;
    }
    apply(elapsed / length, view);
    return true;
}

void ViewTransition::finish(IcicleView& view)
{
    if (!active)
        return;
    active = false;
    view.visibleStart = to.start;
    view.visibleEnd = to.end;
    view.firstRow = to.row;
    view.rowScale = to.rowScale;
}
