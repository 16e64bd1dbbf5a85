// MsdfRasterizer: every texel takes, per channel, the first of the nearest edges in outline order,
// exactly as a scan of all edges would; tiles of 8 x 8 texels and a per-texel box test skip the
// edges that provably cannot win, which matters for ideographs with hundreds of edges.
#include "icicle/glyphs/MsdfRasterizer.h"

#include <algorithm>
#include <cmath>

namespace orvex::glyphs {

namespace {

float median(float a, float b, float c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }
float median(const float* v) { return median(v[0], v[1], v[2]); }

// Texel pair (a, b) whose interpolation crosses the edge where neither end does: both on the same
// side, each with its channels split, exactly two channels crossing 0.5 between them by at least
// `threshold`. Only the texel whose remaining channel is farther from the edge is flagged.
bool clashes(const float* a, const float* b, float threshold)
{
    bool aInside = median(a) > 0.5f;
    if (aInside != (median(b) > 0.5f))
        return false;
    auto uniform = [](const float* v) { return (v[0] > 0.5f) == (v[1] > 0.5f) && (v[1] > 0.5f) == (v[2] > 0.5f); };
    if (uniform(a) || uniform(b))
        return false;
    int crossing = 0, third = 0;
    for (int c = 0; c < 3; ++c) {
        if ((a[c] > 0.5f) != (b[c] > 0.5f)) {
            if (std::fabs(a[c] - b[c]) < threshold)
                return false;
            ++crossing;
        } else {
            third = c;
        }
    }
    return crossing == 2 && std::fabs(a[third] - 0.5f) >= std::fabs(b[third] - 0.5f);
}

double distanceTo(Vec2 a, Vec2 b) { return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y)); }

// The bounds below are compared with distances computed in floating point: widened by far more
// than their rounding error, so a skipped edge is always strictly farther than the winner.
double lowerBound(double distance) { return distance * (1 - 1e-9) - 1e-12; }
double upperBound(double distance) { return distance * (1 + 1e-9) + 1e-12; }
// The largest box distance that lowerBound keeps within `distance`.
double widenedLimit(double distance) { return (distance + 1e-12) / (1 - 1e-9); }
double square(double v) { return v * v; }

// Distance from `q` to the segment [a, b], as exactly as EdgeSegment computes it for a line.
double segmentDistance(Vec2 q, Vec2 a, Vec2 b)
{
    const Vec2 ab = b - a, aq = q - a;
    const double squared = dot(ab, ab);
    const double t = squared > 0 ? std::clamp(dot(aq, ab) / squared, 0.0, 1.0) : 0.0;
    return length(aq - t * ab);
}

} // namespace

MsdfRasterizer::EdgeBounds MsdfRasterizer::boundsOf(const EdgeSegment& edge)
{
    // Every point of a Bézier segment lies in the box of its control points.
    EdgeBounds bounds{&edge, edge.color, edge.p[0], edge.p[0]};
    for (int k = 1; k <= edge.degree; ++k) {
        bounds.low = {std::min(bounds.low.x, edge.p[k].x), std::min(bounds.low.y, edge.p[k].y)};
        bounds.high = {std::max(bounds.high.x, edge.p[k].x), std::max(bounds.high.y, edge.p[k].y)};
    }
    return bounds;
}

double MsdfRasterizer::boxDistanceSquared(const EdgeBounds& bounds, Vec2 p)
{
    const double dx = std::max(std::max(bounds.low.x - p.x, p.x - bounds.high.x), 0.0);
    const double dy = std::max(std::max(bounds.low.y - p.y, p.y - bounds.high.y), 0.0);
    return dx * dx + dy * dy;
}

void MsdfRasterizer::tileCandidates(const std::vector<EdgeBounds>& edges, Vec2 low, Vec2 high,
                                    std::vector<const EdgeBounds*>& candidates)
{
    // Per channel, a distance no texel of the tile exceeds for some edge carrying it. A curve is
    // never farther than its nearer end; distance to a line is convex, so its largest value over
    // the tile is at a corner.
    double reach[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    const Vec2 corners[4] = {low, high, {low.x, high.y}, {high.x, low.y}};
    for (const EdgeBounds& bounds : edges) {
        const EdgeSegment& edge = *bounds.edge;
        double farthest = 0;
        if (edge.degree == 1) {
            for (Vec2 corner : corners)
                farthest = std::max(farthest, segmentDistance(corner, edge.p[0], edge.p[1]));
        } else {
            double fromStart = 0, fromEnd = 0;
            for (Vec2 corner : corners) {
                fromStart = std::max(fromStart, distanceTo(edge.start(), corner));
                fromEnd = std::max(fromEnd, distanceTo(edge.end(), corner));
            }
            farthest = std::min(fromStart, fromEnd);
        }
        for (int c = 0; c < 3; ++c)
            if (bounds.color & (1 << c))
                reach[c] = std::min(reach[c], upperBound(farthest));
    }
    // An edge whose box is farther from the whole tile than that, in each of its channels, never
    // wins a texel of the tile.
    candidates.clear();
    for (const EdgeBounds& bounds : edges) {
        const double dx = std::max({bounds.low.x - high.x, 0.0, low.x - bounds.high.x});
        const double dy = std::max({bounds.low.y - high.y, 0.0, low.y - bounds.high.y});
        const double gap = lowerBound(std::sqrt(dx * dx + dy * dy));
        for (int c = 0; c < 3; ++c)
            if ((bounds.color & (1 << c)) && gap <= reach[c]) {
                candidates.push_back(&bounds);
                break;
            }
    }
}

void MsdfRasterizer::generate(const Outline& outline, Vec2 origin, int width, int height, std::vector<uint8_t>& rgb)
{
    std::vector<float> values;
    computeDistances(outline, origin, width, height, values);
    correctSigns(outline, origin, width, height, values);
    correctClashes(width, height, values);
    rgb.resize(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        rgb[i] = uint8_t(std::lround(255.0 * std::clamp(values[i], 0.0f, 1.0f)));
}

void MsdfRasterizer::computeDistances(const Outline& outline, Vec2 origin, int width, int height,
                                      std::vector<float>& values) const
{
    values.assign(size_t(width) * height * 3, 0.0f);
    if (outline.empty())
        return;
    std::vector<EdgeBounds> edges;
    for (const Contour& contour : outline.contours)
        for (const EdgeSegment& edge : contour.edges)
            edges.push_back(boundsOf(edge));
    std::vector<const EdgeBounds*> candidates;
    for (int tileY = 0; tileY < height; tileY += tileSize)
        for (int tileX = 0; tileX < width; tileX += tileSize) {
            const int endX = std::min(width, tileX + tileSize), endY = std::min(height, tileY + tileSize);
            // The rectangle through the tile's texel centres.
            const Vec2 low{origin.x + (tileX + 0.5) / m_pixelsPerEm, origin.y + (tileY + 0.5) / m_pixelsPerEm};
            const Vec2 high{origin.x + (endX - 0.5) / m_pixelsPerEm, origin.y + (endY - 0.5) / m_pixelsPerEm};
            tileCandidates(edges, low, high, candidates);
            const EdgeBounds* seeds[3] = {nullptr, nullptr, nullptr};
            for (int j = tileY; j < endY; ++j)
                for (int i = tileX; i < endX; ++i) {
                    Vec2 p{origin.x + (i + 0.5) / m_pixelsPerEm, origin.y + (j + 0.5) / m_pixelsPerEm};
                    nearestEdges(candidates, p, seeds, &values[(size_t(j) * width + i) * 3]);
                }
        }
}

// The channel values of texel centre `p` from the edges in `candidates` (outline order). `seeds`
// holds the previous texel's winners, which are usually near this one too; it is updated.
void MsdfRasterizer::nearestEdges(const std::vector<const EdgeBounds*>& candidates, Vec2 p,
                                  const EdgeBounds* seeds[3], float* out) const
{
    // Per channel, a distance some candidate is known to be within: the seeds' own distances.
    double reach[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    for (int k = 0; k < 3; ++k) {
        if (!seeds[k] || (k > 0 && seeds[k] == seeds[k - 1]) || (k > 1 && seeds[k] == seeds[0]))
            continue;
        double t;
        const double distance = upperBound(std::fabs(seeds[k]->edge->signedDistance(p, t).distance));
        for (int c = 0; c < 3; ++c)
            if (seeds[k]->color & (1 << c))
                reach[c] = std::min(reach[c], distance);
    }
    SignedDistance best[3];
    const EdgeBounds* winner[3] = {nullptr, nullptr, nullptr};
    double parameter[3] = {0, 0, 0};
    // Per channel, the squared, widened distance within which an edge may still win it.
    double limit[3];
    auto updateLimits = [&] {
        for (int c = 0; c < 3; ++c) {
            const double within = std::min(reach[c], std::fabs(best[c].distance));
            limit[c] = within == HUGE_VAL ? HUGE_VAL : square(widenedLimit(within));
        }
    };
    updateLimits();
    for (const EdgeBounds* bounds : candidates) {
        // An edge whose box is farther than some edge of each of its channels cannot win any of
        // them; skipping it leaves the outcome of the ordered scan unchanged.
        const double gap = boxDistanceSquared(*bounds, p);
        const uint8_t color = bounds->color;
        if (!((color & 1) && gap <= limit[0]) && !((color & 2) && gap <= limit[1]) && !((color & 4) && gap <= limit[2]))
            continue;
        double t;
        SignedDistance d = bounds->edge->signedDistance(p, t);
        bool changed = false;
        for (int c = 0; c < 3; ++c)
            if ((bounds->color & (1 << c)) && d.nearerThan(best[c])) {
                best[c] = d;
                winner[c] = bounds;
                parameter[c] = t;
                changed = true;
            }
        if (changed)
            updateLimits();
    }
    for (int c = 0; c < 3; ++c)
        seeds[c] = winner[c];
    for (int c = 0; c < 3; ++c) {
        if (!winner[c]) {
            out[c] = 0.0f; // no edge carries this channel: far outside
            continue;
        }
        winner[c]->edge->toPseudoDistance(best[c], p, parameter[c]);
        out[c] = float(0.5 + best[c].distance * m_pixelsPerEm / m_range);
    }
}

void MsdfRasterizer::correctSigns(const Outline& outline, Vec2 origin, int width, int height,
                                  std::vector<float>& values)
{
    if (outline.empty())
        return;
    std::vector<std::pair<double, int>> crossings;
    std::vector<int8_t> ambiguous(size_t(width) * height, 0);
    std::vector<int8_t> flipped(size_t(width) * height, 0);
    for (int j = 0; j < height; ++j) {
        double y = origin.y + (j + 0.5) / m_pixelsPerEm;
        crossings.clear();
        for (const Contour& contour : outline.contours)
            for (const EdgeSegment& edge : contour.edges)
                edge.crossings(y, crossings);
        for (int i = 0; i < width; ++i) {
            double x = origin.x + (i + 0.5) / m_pixelsPerEm;
            int winding = 0;
            for (const auto& [crossingX, direction] : crossings)
                if (crossingX < x)
                    winding += direction;
            size_t at = size_t(j) * width + i;
            float* v = &values[at * 3];
            float m = median(v);
            if (m == 0.5f) {
                ambiguous[at] = 1;
                continue;
            }
            // Mirror all three channels, never one: single channels disagree with the fill near
            // corners by design.
            if ((m > 0.5f) != (winding != 0)) {
                for (int c = 0; c < 3; ++c)
                    v[c] = 1.0f - v[c];
                flipped[at] = 1;
                ++m_signFixes;
            }
        }
    }
    // A texel exactly on the edge follows the majority of its neighbours.
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            size_t at = size_t(j) * width + i;
            if (!ambiguous[at])
                continue;
            int votes = 0;
            if (i > 0) votes += flipped[at - 1] ? 1 : -1;
            if (i + 1 < width) votes += flipped[at + 1] ? 1 : -1;
            if (j > 0) votes += flipped[at - width] ? 1 : -1;
            if (j + 1 < height) votes += flipped[at + width] ? 1 : -1;
            if (votes > 0)
                for (int c = 0; c < 3; ++c)
                    values[at * 3 + c] = 1.0f - values[at * 3 + c];
        }
}

void MsdfRasterizer::correctClashes(int width, int height, std::vector<float>& values)
{
    // A channel must change by just over one texel of distance between neighbours to count.
    const float threshold = float(1.001 / m_range);
    std::vector<float> clamped(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        clamped[i] = std::clamp(values[i], 0.0f, 1.0f);
    std::vector<size_t> flagged;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            size_t at = size_t(j) * width + i;
            const float* v = &clamped[at * 3];
            if ((i > 0 && clashes(v, v - 3, threshold)) || (i + 1 < width && clashes(v, v + 3, threshold)) ||
                (j > 0 && clashes(v, v - 3 * width, threshold)) ||
                (j + 1 < height && clashes(v, v + 3 * width, threshold)))
                flagged.push_back(at);
        }
    for (size_t at : flagged) {
        float m = median(&values[at * 3]);
        values[at * 3] = values[at * 3 + 1] = values[at * 3 + 2] = m;
    }
    m_clashFixes += int(flagged.size());
}

} // namespace orvex::glyphs
