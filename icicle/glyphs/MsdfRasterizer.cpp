// MsdfRasterizer: brute force over every texel and every edge of the glyph (a few dozen edges and a
// few thousand texels per glyph), which keeps the whole atlas well under a second.
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

} // namespace

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
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            Vec2 p{origin.x + (i + 0.5) / m_pixelsPerEm, origin.y + (j + 0.5) / m_pixelsPerEm};
            SignedDistance best[3];
            const EdgeSegment* winner[3] = {nullptr, nullptr, nullptr};
            double parameter[3] = {0, 0, 0};
            for (const Contour& contour : outline.contours)
                for (const EdgeSegment& edge : contour.edges) {
                    double t;
                    SignedDistance d = edge.signedDistance(p, t);
                    for (int c = 0; c < 3; ++c)
                        if ((edge.color & (1 << c)) && d.nearerThan(best[c])) {
                            best[c] = d;
                            winner[c] = &edge;
                            parameter[c] = t;
                        }
                }
            float* out = &values[(size_t(j) * width + i) * 3];
            for (int c = 0; c < 3; ++c) {
                if (!winner[c]) {
                    out[c] = 0.0f; // no edge carries this channel: far outside
                    continue;
                }
                winner[c]->toPseudoDistance(best[c], p, parameter[c]);
                out[c] = float(0.5 + best[c].distance * m_pixelsPerEm / m_range);
            }
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
