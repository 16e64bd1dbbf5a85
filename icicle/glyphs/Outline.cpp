// Outline: bounds, splitting, reversal and the orientation check shared by every loader.
#include "icicle/glyphs/Outline.h"

#include <algorithm>

namespace orvex::glyphs {

void Outline::finish()
{
    normalize();
    if (contours.empty())
        return;
    double left, bottom, right, top;
    bounds(left, bottom, right, top);
    Vec2 far{left - 1, bottom - 1};
    SignedDistance nearest;
    for (const Contour& contour : contours)
        for (const EdgeSegment& edge : contour.edges) {
            double parameter;
            SignedDistance d = edge.signedDistance(far, parameter);
            if (d.nearerThan(nearest))
                nearest = d;
        }
    if (nearest.distance > 0)
        reverse();
}

void Outline::bounds(double& left, double& bottom, double& right, double& top) const
{
    left = bottom = 1e300;
    right = top = -1e300;
    for (const Contour& contour : contours)
        for (const EdgeSegment& edge : contour.edges)
            for (int i = 0; i <= edge.degree; ++i) {
                left = std::min(left, edge.p[i].x);
                right = std::max(right, edge.p[i].x);
                bottom = std::min(bottom, edge.p[i].y);
                top = std::max(top, edge.p[i].y);
            }
}

void Outline::normalize()
{
    for (Contour& contour : contours)
        if (contour.edges.size() == 1) {
            EdgeSegment parts[3];
            contour.edges[0].splitInThirds(parts[0], parts[1], parts[2]);
            contour.edges.assign(parts, parts + 3);
        }
}

void Outline::reverse()
{
    for (Contour& contour : contours) {
        std::reverse(contour.edges.begin(), contour.edges.end());
        for (EdgeSegment& edge : contour.edges)
            std::reverse(edge.p, edge.p + edge.degree + 1);
    }
}

} // namespace orvex::glyphs
