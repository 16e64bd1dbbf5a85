// LabelText: packs a cell's name and size into GeometryVertex floats and measures both lines with
// the glyph advance table. Every packed value is an integer below 2^24, so a float holds it exactly.
#include "icicle/LabelText.h"

#include "icicle/GlyphAdvances.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace LabelText {

namespace {

constexpr uint8_t pointCode = 14;
constexpr uint8_t unitCodeBase = 16;        // 16 + unit index: none, k, M, G, ...
constexpr uint8_t byteCode = 29;            // the B that ends every size
constexpr int maxUnit = 10;                 // Q, the largest prefix the glyph table has
constexpr double unitSpacing = 0.023484375; // gap between the number and its unit
constexpr double digitScale[4] = {0, 1000.0, 100.0, 10.0}; // 10^(4 - p) for p integer digits
// A continuation vertex keeps its pen offset in name[7]; the label shader reads values from
// 16384 up as packed codes, so an offset must stay below.
constexpr float penOffsetLimit = 16384.0f;

// Size-line digits: 0 is code 12 and 9 is code 11, since codes 9 and 10 are spacers.
uint8_t digitCode(unsigned digit)
{
    assert(digit < 10 && "digitCode: pass one decimal digit");
    return digit == 0 ? 12 : digit == 9 ? 11 : uint8_t(digit);
}

// Packs `bytes` (at most 3 * floats) three codes per float into out[0..floats), zeros after
// the last code. Returns `pen` plus the bytes' advances, summed left to right so that a split
// name's offsets and total width come from the same running sum.
double packBytes(std::string_view bytes, float* out, int floats, double pen)
{
    assert(bytes.size() <= size_t(floats) * 3 && "packBytes: more bytes than the floats hold");
    uint8_t codes[3 * 8] = {};
    for (size_t i = 0; i < bytes.size(); ++i) {
        codes[i] = glyphCode(static_cast<unsigned char>(bytes[i]));
        pen += glyphAdvance(codes[i]);
    }
    for (int j = 0; j < floats; ++j)
        out[j] = float(codes[3 * j] * 16384 + codes[3 * j + 1] * 128 + codes[3 * j + 2]);
    return pen;
}

// Fills the five slots with four significant digits of size / 1024^unit and returns the unit.
int packScaled(uint64_t size, uint8_t slots[5])
{
    double v = double(size) * 0.009765625; // tenths of a kibibyte
    int unit = 1;
    while (std::round(v) >= 10000.0) { // would show 1000 or more of this unit
        v *= 0.0009765625;
        unit += 1;
    }
    for (;;) {
        double value = v / 10.0;
        int p = value < 9.9995 ? 1 : value < 99.995 ? 2 : 3; // integer digits after rounding
        int n = int(std::round(value * digitScale[p]));
        if (n >= 10000) {
            // Rounding went one digit past what p allowed: keep four digits by moving the point
            // right, or, with three integer digits already, show 0.977 of the next unit.
            if (p == 3) {
                v *= 0.0009765625;
                unit += 1;
                continue;
            }
            n = 1000;
            p += 1;
        }
        unsigned digits[4] = {unsigned(n / 1000), unsigned(n / 100 % 10), unsigned(n / 10 % 10), unsigned(n % 10)};
        for (int slot = 0, d = 0; slot < 5; ++slot)
            slots[slot] = slot == p ? pointCode : digitCode(digits[d++]);
        assert(unit <= maxUnit && "packScaled: no unit prefix beyond Q");
        return unit;
    }
}

} // namespace

uint8_t glyphCode(unsigned char byte)
{
    if (byte >= 32 && byte <= 126)
        return byte;
    if (byte == '\t' || byte == '\n')
        return ' ';
    if (byte >= 0xC0) // lead byte: one replacement mark per multi-byte character
        return replacementCode;
    return emptyCode; // carriage return, other controls, DEL, continuation bytes
}

double glyphAdvance(uint8_t code)
{
    assert(code < 128 && "glyphAdvance: glyph codes are 7-bit");
    return glyphAdvances[code];
}

double packName(std::string_view name, float out[8])
{
    if (name.size() <= size_t(nameBytesPerVertex))
        return packBytes(name, out, 8, 0.0);
    double width = packBytes(name.substr(0, nameBytesPerVertex - 1), out, 8, 0.0);
    out[7] += ellipsisCode; // the 24th code position is the low 7 bits of the last float
    return width + glyphAdvance(ellipsisCode);
}

PackedSize packSize(uint64_t size)
{
    uint8_t slots[5] = {};
    int unit = 0;
    if (size < 1024) {
        // Whole bytes, right-aligned so that the units digit is in slot 3; slot 4 stays empty.
        int slot = 3;
        do {
            slots[slot--] = digitCode(unsigned(size % 10));
            size /= 10;
        } while (size != 0);
    } else {
        unit = packScaled(size, slots);
    }
    uint32_t code = uint32_t(unit) << 20;
    double width = 0;
    for (int slot = 0; slot < 5; ++slot) {
        code |= uint32_t(slots[slot]) << (4 * slot);
        width += glyphAdvance(slots[slot]);
    }
    width += unitSpacing + glyphAdvance(uint8_t(unitCodeBase + unit)) + glyphAdvance(byteCode);
    return {float(code), width};
}

std::string sizeString(uint64_t size)
{
    static const char prefixes[] = "kMGTPEZYRQ";
    const uint32_t code = uint32_t(packSize(size).code);
    std::string text;
    for (int slot = 0; slot < 5; ++slot) {
        const unsigned glyph = (code >> (4 * slot)) & 15;
        if (glyph == pointCode)
            text.push_back('.');
        else if (glyph == 12)
            text.push_back('0');
        else if (glyph == 11)
            text.push_back('9');
        else if (glyph != 0)
            text.push_back(char('0' + glyph));
    }
    text.push_back(' ');
    const unsigned unit = code >> 20;
    if (unit > 0)
        text.push_back(prefixes[unit - 1]);
    text.push_back('B');
    return text;
}

float inverseLabelWidth(double sizeWidth, double nameWidth)
{
    return float(1.0 / (std::max(sizeWidth, nameWidth) + 0.5));
}

void labelVertices(const GeometryVertex& cell, std::string_view name, uint64_t size, bool split,
                   std::vector<GeometryVertex>& out)
{
    PackedSize packed = packSize(size);
    GeometryVertex vertex = {cell.x0, cell.row, cell.x1, cell.hue, 0.0f, packed.code, {}};
    if (!split || name.size() <= size_t(nameBytesPerVertex)) {
        vertex.inverseLabelWidth = inverseLabelWidth(packed.width, packName(name, vertex.name));
        out.push_back(vertex);
        return;
    }

    size_t first = out.size();
    double pen = packBytes(name.substr(0, nameBytesPerVertex), vertex.name, 8, 0.0);
    out.push_back(vertex);
    vertex.sizeCode = 0.0f; // continuations draw no size line and no rectangle
    // Names long enough to push the offset to the limit (tens of thousands of bytes) are cut
    // there rather than letting the shader decode the offset as glyph codes.
    for (size_t start = nameBytesPerVertex; start < name.size() && float(pen) < penOffsetLimit;
         start += continuationBytes) {
        vertex.name[7] = float(pen);
        pen = packBytes(name.substr(start, continuationBytes), vertex.name, 7, pen);
        out.push_back(vertex);
    }
    // Every part scales by the whole name so that the parts line up as one line of text.
    float inverse = inverseLabelWidth(packed.width, pen);
    for (size_t i = first; i < out.size(); ++i)
        out[i].inverseLabelWidth = inverse;
}

} // namespace LabelText
