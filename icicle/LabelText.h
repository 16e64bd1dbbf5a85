// LabelText: the encodings of a cell's label into a GeometryVertex. Names become 8-bit glyph codes,
// one per character, packed three per float (c0 * 65536 + c1 * 256 + c2, exact in a float): codes
// 0-127 are the built-in label font's, 128-255 the chart's own glyph page. Sizes become five
// character slots and a unit in one float. Widths are in text units, summed from the glyph advances.
// Pure functions: any thread.
#pragma once

#include "icicle/GeometryVertex.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace LabelText {

constexpr int nameSlotsPerVertex = 24;    // characters eight floats hold
constexpr int continuationSlots = 21;     // what a split name's further vertices hold
constexpr uint8_t ellipsisCode = 30;
constexpr uint8_t replacementCode = 31;
constexpr uint8_t emptyCode = 16;
constexpr int pageCodeBase = 128;         // codes 128-255: the chart's glyph page
constexpr int pageCapacity = 128;
constexpr char32_t illFormed = 0xFFFFFFFF; // what nextCharacter gives for bytes that are not UTF-8

// Which characters a chart's glyph page draws (code 128 + i draws characters[i]) and their
// advances. The empty page draws every character past ASCII as the replacement mark.
class GlyphPageCodes {
public:
    GlyphPageCodes() = default;
    // `advances[i]`: text units the pen moves after characters[i] (at most 128 of each).
    GlyphPageCodes(const std::vector<char32_t>& characters, const std::vector<float>& advances);
    // The page's code for `character`, else the replacement mark's.
    uint8_t codeOf(char32_t character) const;
    double advance(uint8_t code) const;
    size_t size() const { return count; }
    static const GlyphPageCodes& none();

private:
    // Open addressing over the characters (0: empty slot), 256 slots for at most 128.
    char32_t keys[256] = {};
    uint8_t values[256] = {};
    float pageAdvances[pageCapacity] = {};
    size_t count = 0;
};

// The character starting at bytes[at], advancing `at` past it. Names are taken as generalized
// UTF-8: a surrogate pair written as two three-byte sequences (as Windows names may hold) is one
// character; each maximal ill-formed sequence is one `illFormed`.
char32_t nextCharacter(std::string_view bytes, size_t& at);
// The escape a name shows for a character that would break or hide its line, as the details bar
// writes it too: "\\n", "\\t", "\\r", "\\x1B" for the other controls below 0x80 and DEL,
// "\\u0085" for the C1 controls and the line and paragraph separators; empty for any other.
std::string escapeOf(char32_t character);
// Appends the codes that show `character` in a name: its escape's, else its glyph code.
void appendCodes(char32_t character, const GlyphPageCodes& page, std::vector<uint8_t>& codes);
// The glyph code that shows one character: ASCII as the built-in font draws it (tab and newline
// as a space, other controls as nothing), the ellipsis as the built-in one, the rest from `page`,
// else the replacement mark.
uint8_t glyphCode(char32_t character, const GlyphPageCodes& page = GlyphPageCodes::none());
// Whether every byte of `name` is ASCII (eight at a time).
bool isAscii(std::string_view name);
// Advance of a built-in glyph code (below 128) in text units.
double glyphAdvance(uint8_t code);

// `path` (UTF-8) in at most `characters` characters: whole when it fits, else "…" and its end,
// from the first separator that leaves room ("…/d/d/d"), or cut inside the last name when that
// alone is longer.
std::string pathTail(std::string_view path, size_t characters);
// `path` with each name that holds right-to-left text wrapped in a first-strong isolate
// (U+2068 … U+2069), so that the bidi order keeps every separator between the names it separates.
std::u32string isolateNames(std::u32string_view path);

// Packs a name into name[0..7]: whole up to 24 characters, else the first 23 and the ellipsis.
// Returns the width of what was packed.
double packName(std::string_view name, float out[8], const GlyphPageCodes& page = GlyphPageCodes::none());

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
// 24 characters continues on further vertices (21 each, the pen offset in name[7], below 65536 and
// so told from packed codes by a first code of 0; sizeCode 0); otherwise it is truncated with the
// ellipsis. A split name is a path: its right-to-left names are isolated (isolateNames). Names
// with right-to-left text are packed in their visual order (BidiOrder). Appends to `out`.
void labelVertices(const GeometryVertex& cell, std::string_view name, uint64_t size, bool split,
                   std::vector<GeometryVertex>& out, const GlyphPageCodes& page = GlyphPageCodes::none());
// The same from a name's characters as nextCharacter reads them, for a caller that reads each
// name once.
void labelVertices(const GeometryVertex& cell, const char32_t* characters, size_t count, uint64_t size, bool split,
                   std::vector<GeometryVertex>& out, const GlyphPageCodes& page = GlyphPageCodes::none());

} // namespace LabelText
