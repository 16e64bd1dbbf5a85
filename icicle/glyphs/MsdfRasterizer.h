// MsdfRasterizer: samples a coloured outline into a multi-channel signed distance field. Each
// channel holds the pseudo-distance to the nearest edge carrying that channel; a winding-number
// pass fixes texels whose median lies on the wrong side, and a clash pass flattens texel pairs
// whose interpolation would put a stray edge between them. Output is 8-bit RGB, rows bottom-up.
// An instance keeps counters: one per thread.
#pragma once

#include "icicle/glyphs/Outline.h"

#include <cstdint>
#include <vector>

namespace orvex::glyphs {

class MsdfRasterizer {
public:
    // pixelsPerEm: texels per em; range: distance in texels from value 0 to value 1 (the edge at 0.5).
    MsdfRasterizer(double pixelsPerEm, double range) : m_pixelsPerEm(pixelsPerEm), m_range(range) {}

    // Fills width x height RGB texels (3 bytes each, bottom row first); texel (i, j) samples the
    // em point origin + ((i + ½), (j + ½)) / pixelsPerEm.
    void generate(const Outline& outline, Vec2 origin, int width, int height, std::vector<uint8_t>& rgb);

    int signFixes() const { return m_signFixes; }   // texels mirrored by the winding check, all glyphs
    int clashFixes() const { return m_clashFixes; } // texels flattened by the clash check, all glyphs

private:
    struct EdgeBounds {
        const EdgeSegment* edge;
        EdgeColor color;
        Vec2 low, high; // the box of the control points, which holds the whole segment
    };
    static constexpr int tileSize = 8;

    static EdgeBounds boundsOf(const EdgeSegment& edge);
    static double boxDistanceSquared(const EdgeBounds& bounds, Vec2 p);
    // The edges that may be the nearest of some channel for a texel centre in [low, high].
    static void tileCandidates(const std::vector<EdgeBounds>& edges, Vec2 low, Vec2 high,
                               std::vector<const EdgeBounds*>& candidates);
    void nearestEdges(const std::vector<const EdgeBounds*>& candidates, Vec2 p, const EdgeBounds* seeds[3],
                      float* out) const;
    void computeDistances(const Outline& outline, Vec2 origin, int width, int height, std::vector<float>& values) const;
    void correctSigns(const Outline& outline, Vec2 origin, int width, int height, std::vector<float>& values);
    void correctClashes(int width, int height, std::vector<float>& values);

    double m_pixelsPerEm;
    double m_range;
    int m_signFixes = 0;
    int m_clashFixes = 0;
};

} // namespace orvex::glyphs
