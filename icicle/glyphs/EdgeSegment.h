// EdgeSegment: one line, quadratic or cubic piece of a glyph outline in em units, with the exact
// signed distance from a point (positive on the right of the direction of travel, the inside of a
// TrueType outline), the coloured channels it drives, and the helpers the field generator needs.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace orvex::glyphs {

struct Vec2 {
    double x = 0;
    double y = 0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(double s, Vec2 a) { return {s * a.x, s * a.y}; }
inline bool operator==(Vec2 a, Vec2 b) { return a.x == b.x && a.y == b.y; }
inline double dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline double cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
double length(Vec2 a);
Vec2 normalized(Vec2 a); // (0, 0) stays (0, 0)

// Channel bit masks of an edge's colour: at every corner the two edges share exactly one channel.
enum EdgeColor : uint8_t {
    BLACK = 0, RED = 1, GREEN = 2, YELLOW = 3, BLUE = 4, MAGENTA = 5, CYAN = 6, WHITE = 7,
};

// Signed distance with the tie-break of two segments meeting at a shared end: the one the point
// is more perpendicular to (smaller `dot`) carries the right sign.
struct SignedDistance {
    double distance = -1e300; // em, positive on the right of the segment (inside)
    double dot = 1;           // |cos| between the tangent and the direction to the nearest point

    bool nearerThan(const SignedDistance& other) const;
};

struct EdgeSegment {
    int degree = 1;  // 1 line, 2 quadratic, 3 cubic: points p[0..degree]
    Vec2 p[4];
    EdgeColor color = WHITE;

    Vec2 point(double t) const;
    Vec2 direction(double t) const; // derivative; falls back to a chord where it vanishes
    Vec2 start() const { return p[0]; }
    Vec2 end() const { return p[degree]; }
    // Nearest distance from `point` and the segment parameter of the nearest point; an end point
    // reports the projection onto its tangent (< 0 before the start, > 1 past the end).
    SignedDistance signedDistance(Vec2 point, double& parameter) const;
    // Beyond an end the segment acts as its extended tangent line (keeps channels linear at
    // corners, so bilinear interpolation reproduces them).
    void toPseudoDistance(SignedDistance& distance, Vec2 point, double parameter) const;
    void splitInThirds(EdgeSegment& first, EdgeSegment& second, EdgeSegment& third) const;
    // x of each crossing with the horizontal line y and the direction (+1 up, -1 down); each
    // y-monotonic piece counts [low, high) so a shared vertex is crossed once.
    void crossings(double y, std::vector<std::pair<double, int>>& out) const;
};

} // namespace orvex::glyphs
