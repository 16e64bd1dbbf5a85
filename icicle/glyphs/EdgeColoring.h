// EdgeColoring: assigns each outline edge a set of channels so that the two edges meeting at every
// sharp corner share exactly one channel; the median of the three channel distances then keeps the
// corner sharp. Deterministic: colours follow a fixed rotation, no random seed.
#pragma once

#include "icicle/glyphs/Outline.h"

namespace orvex::glyphs {

namespace EdgeColoring {

// A joint is a corner when the turn exceeds pi - angleThreshold radians (3 rad: about 8 degrees).
constexpr double defaultAngleThreshold = 3.0;

// Colours every contour: one two-channel colour for a smooth contour, one colour per run between
// corners otherwise (a contour with a single corner is split into thirds around it).
void colorSimple(Outline& outline, double angleThreshold = defaultAngleThreshold);

// Indices of the edges that start at a corner, in edge order.
std::vector<int> corners(const Contour& contour, double angleThreshold = defaultAngleThreshold);

} // namespace EdgeColoring

} // namespace orvex::glyphs
