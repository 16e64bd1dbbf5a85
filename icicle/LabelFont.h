// LabelFont: the label font's built-in data, generated at build time by tools/label-font from
// DejaVu Sans: a 512 x 512 RGB multi-channel signed distance field atlas (distance range 8 pixels,
// rows from the bottom as GL uploads them) and the 128-entry glyph table, 9 floats per glyph:
// plane left, bottom, right, top (text units from the pen and the centre line), atlas left,
// bottom, right, top (normalised texture coordinates), advance.
#pragma once

#include <cstddef>

constexpr int labelAtlasSize = 512;
constexpr float labelDistanceRange = 8.0f; // atlas pixels

extern const unsigned char labelAtlas[labelAtlasSize * labelAtlasSize * 3];
extern const float labelGlyphTable[128 * 9];
