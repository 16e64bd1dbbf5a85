// LabelText: the encodings of a cell's label into a GeometryVertex. Names become 7-bit glyph codes
// packed three per float; sizes become five character slots and a unit in one float. Widths are in
// text units, summed from the glyph advances of the label font. Pure functions: any thread.
#pragma once

#include "icicle/GeometryVertex.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace LabelText {

constexpr int nameBytesPerVertex = 24;    // what eight floats hold
constexpr int continuationBytes = 21;     // what a split name's further vertices hold
constexpr uint8_t ellipsisCode = 30;
constexpr uint8_t replacementCode = 31;
constexpr uint8_t emptyCode = 16;

// The glyph code that shows one byte of a (normally UTF-8) name.
uint8_t glyphCode(unsigned char byte);
// Advance of a glyph code in text units.
double glyphAdvance(uint8_t code);

// Packs a name into name[0..7]: whole up to 24 bytes, else the first 23 bytes and the ellipsis.
// Returns the width of what was packed.
double packName(std::string_view name, float out[8]);

struct PackedSize {
    float code;   // d0 + 16 d1 + ... + 1048576 u
    double width; // text width of the size line
};
PackedSize packSize(uint64_t size);
// The size line as a label draws it, in ASCII: the packed digits and point, a space for the gap
// before the unit, the prefix and "B" ("1023 B", "1.000 kB", "16.00 EB").
std::string sizeString(uint64_t size);

// 1 / (max(size width, name width) + 0.5)
float inverseLabelWidth(double sizeWidth, double nameWidth);

// The vertices that label a node whose floats 0-3 are given in `cell`. With `split`, a name over
// 24 bytes continues on further vertices (21 bytes each, pen offset in name[7], sizeCode 0);
// otherwise it is truncated with the ellipsis. Appends to `out`.
void labelVertices(const GeometryVertex& cell, std::string_view name, uint64_t size, bool split,
                   std::vector<GeometryVertex>& out);

} // namespace LabelText
