// LabelText: packs a cell's name and size into GeometryVertex floats and measures both lines with
// the glyph advance table. Every packed value is an integer below 2^24, so a float holds it exactly.
#include "icicle/LabelText.h"

#include "icicle/GlyphAdvances.h"

#include "engine/core/BidiOrder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace LabelText {

namespace {

constexpr uint8_t pointCode = 14;
constexpr uint8_t unitCodeBase = 16;        // 16 + unit index: none, k, M, G, ...
constexpr uint8_t byteCode = 29;            // the B that ends every size
constexpr int maxUnit = 10;                 // Q, the largest prefix the glyph table has
constexpr double unitSpacing = 0.023484375; // gap between the number and its unit
constexpr double digitScale[4] = {0, 1000.0, 100.0, 10.0}; // 10^(4 - p) for p integer digits
// A continuation vertex keeps its pen offset in name[7]; the label shader reads values from
// 65536 up (a first code that is not 0) as packed codes, so an offset must stay below.
constexpr float penOffsetLimit = 65536.0f;

// Size-line digits: 0 is code 12 and 9 is code 11, since codes 9 and 10 are spacers.
uint8_t digitCode(unsigned digit)
{
    assert(digit < 10 && "digitCode: pass one decimal digit");
    return digit == 0 ? 12 : digit == 9 ? 11 : uint8_t(digit);
}

// Whether a character only steers the bidi algorithm (marks, isolates, embeddings): the labels
// draw nothing for it.
bool isBidiControl(char32_t c)
{
    return c == 0x200E || c == 0x200F || c == 0x061C || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The codes of characters[0..count) in the order they are shown from left to right, at most about
// `limit` (a last escape may pass it); with `truncate`, more than 24 become the first 23 and the
// ellipsis. Text without right-to-left characters keeps its order; otherwise each character takes
// its bidi level, an escape stays left to right, and a right-to-left bracket is mirrored.
void shownCodes(const char32_t* characters, size_t count, size_t limit, bool truncate, const GlyphPageCodes& page,
                std::vector<uint8_t>& codes)
{
    codes.clear();
    std::u32string_view text(characters, count);
    if (!orvex::bidi::hasRightToLeft(text)) {
        for (size_t i = 0; i < count && codes.size() < limit; ++i)
            appendCodes(characters[i], page, codes);
        return;
    }
    // A path isolates its right-to-left names; a name is one isolate, ordered in the direction of
    // its first letter as the details bar orders it, its ellipsis at its logical end.
    thread_local std::u32string isolated;
    isolated = truncate ? orvex::bidi::FSI + std::u32string(text) + orvex::bidi::PDI : isolateNames(text);
    text = isolated;
    characters = isolated.data();
    count = isolated.size();
    const std::vector<uint8_t> levels = orvex::bidi::levels(text);
    uint8_t nameLevel = 0; // 1 for a name that runs right to left
    for (size_t i = 0; truncate && i < count; ++i) {
        const orvex::bidi::Type type = orvex::bidi::typeOf(characters[i]);
        if (type == orvex::bidi::Type::L || orvex::bidi::isRightToLeft(characters[i])) {
            nameLevel = type == orvex::bidi::Type::L ? 0 : 1;
            break;
        }
    }
    thread_local std::vector<uint8_t> logical, codeLevels;
    logical.clear();
    codeLevels.clear();
    for (size_t i = 0; i < count && logical.size() < limit; ++i) {
        if (isBidiControl(characters[i]))
            continue;
        const bool rightToLeft = levels[i] % 2;
        const char32_t character = rightToLeft ? orvex::bidi::mirrored(characters[i]) : characters[i];
        const bool escaped = !escapeOf(character).empty();
        appendCodes(character, page, logical);
        codeLevels.resize(logical.size(), uint8_t(levels[i] + (escaped && rightToLeft ? 1 : 0)));
    }
    if (truncate && logical.size() > size_t(nameSlotsPerVertex)) {
        logical.resize(nameSlotsPerVertex - 1);
        codeLevels.resize(nameSlotsPerVertex - 1);
        logical.push_back(ellipsisCode);
        codeLevels.push_back(nameLevel);
    }
    for (size_t i : orvex::bidi::visualOrder(codeLevels))
        codes.push_back(logical[i]);
}

// The glyph codes that show `name`, at most about `limit` of them, into `codes`.
void decode(std::string_view name, const GlyphPageCodes& page, size_t limit, bool truncate, std::vector<uint8_t>& codes)
{
    codes.clear();
    if (isAscii(name)) {
        for (size_t at = 0; at < name.size() && codes.size() < limit; ++at)
            appendCodes(static_cast<unsigned char>(name[at]), page, codes);
        return;
    }
    thread_local std::vector<char32_t> characters;
    characters.clear();
    for (size_t at = 0; at < name.size() && characters.size() < limit;)
        characters.push_back(nextCharacter(name, at));
    shownCodes(characters.data(), characters.size(), limit, truncate, page, codes);
}

// Packs `count` codes (at most 3 * floats) three per float into out[0..floats), zeros after the
// last code. Returns `pen` plus their advances, summed left to right so that a split name's
// offsets and total width come from the same running sum.
double packCodes(const uint8_t* codes, size_t count, float* out, int floats, double pen, const GlyphPageCodes& page)
{
    assert(count <= size_t(floats) * 3 && "packCodes: more codes than the floats hold");
    uint8_t slots[3 * 8] = {};
    for (size_t i = 0; i < count; ++i) {
        slots[i] = codes[i];
        pen += page.advance(codes[i]);
    }
    for (int j = 0; j < floats; ++j)
        out[j] = float(uint32_t(slots[3 * j]) * 65536 + uint32_t(slots[3 * j + 1]) * 256 + slots[3 * j + 2]);
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

GlyphPageCodes::GlyphPageCodes(const std::vector<char32_t>& characters, const std::vector<float>& advances)
{
    assert(characters.size() <= size_t(pageCapacity) && advances.size() >= characters.size());
    for (size_t i = 0; i < characters.size() && i < size_t(pageCapacity); ++i) {
        const char32_t character = characters[i];
        if (character == 0)
            continue;
        size_t slot = (character * 2654435761u) >> 24;
        while (keys[slot] != 0 && keys[slot] != character)
            slot = (slot + 1) & 255;
        if (keys[slot] == character)
            continue; // listed twice: the first code stands
        keys[slot] = character;
        values[slot] = uint8_t(pageCodeBase + i);
        pageAdvances[i] = advances[i];
        count = i + 1;
    }
}

uint8_t GlyphPageCodes::codeOf(char32_t character) const
{
    if (count == 0 || character == 0)
        return replacementCode;
    for (size_t slot = (character * 2654435761u) >> 24;; slot = (slot + 1) & 255) {
        if (keys[slot] == character)
            return values[slot];
        if (keys[slot] == 0)
            return replacementCode;
    }
}

double GlyphPageCodes::advance(uint8_t code) const
{
    return code < pageCodeBase ? glyphAdvances[code] : pageAdvances[code - pageCodeBase];
}

const GlyphPageCodes& GlyphPageCodes::none()
{
    static const GlyphPageCodes empty;
    return empty;
}

char32_t nextCharacter(std::string_view bytes, size_t& at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    int length = 0;
    char32_t character = 0, smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, character = lead & 0x1F, smallest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, character = lead & 0x0F, smallest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, character = lead & 0x07, smallest = 0x10000;
    if (length == 0) {
        // A stray continuation byte or a lead that never starts a character: the run is one mark.
        for (++at; at < bytes.size() && (byte(at) & 0xC0) == 0x80;)
            ++at;
        return illFormed;
    }
    int got = 1;
    for (; got < length && at + size_t(got) < bytes.size() && (byte(at + size_t(got)) & 0xC0) == 0x80; ++got)
        character = character << 6 | (byte(at + size_t(got)) & 0x3F);
    at += size_t(got);
    if (got < length || character < smallest || character > 0x10FFFF)
        return illFormed;
    if (character >= 0xD800 && character <= 0xDBFF && at + 3 <= bytes.size() && byte(at) == 0xED
        && (byte(at + 1) & 0xF0) == 0xB0 && (byte(at + 2) & 0xC0) == 0x80) {
        // A high surrogate followed by a low one, each in three bytes: one character.
        const char32_t low = 0xDC00 | char32_t(byte(at + 1) & 0x0F) << 6 | (byte(at + 2) & 0x3F);
        at += 3;
        return 0x10000 + ((character - 0xD800) << 10) + (low - 0xDC00);
    }
    return character >= 0xD800 && character <= 0xDFFF ? illFormed : character;
}

std::string escapeOf(char32_t character)
{
    switch (character) {
    case U'\n': return "\\n";
    case U'\t': return "\\t";
    case U'\r': return "\\r";
    default: break;
    }
    const bool control = character < 0x20 || character == 0x7F || (character >= 0x80 && character <= 0x9F);
    if (!control && character != 0x2028 && character != 0x2029)
        return {};
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, character < 0x80 ? "\\x%02X" : "\\u%04X", unsigned(character));
    return buffer;
}

void appendCodes(char32_t character, const GlyphPageCodes& page, std::vector<uint8_t>& codes)
{
    if (character >= 0x20 && character < 0x7F) {
        codes.push_back(uint8_t(character));
        return;
    }
    const std::string escape = escapeOf(character);
    if (escape.empty())
        codes.push_back(glyphCode(character, page));
    else
        for (char c : escape)
            codes.push_back(uint8_t(c));
}

std::string pathTail(std::string_view path, size_t characters)
{
    thread_local std::vector<size_t> starts; // byte offset of each character
    starts.clear();
    for (size_t at = 0; at < path.size();) {
        starts.push_back(at);
        nextCharacter(path, at);
    }
    if (starts.size() <= characters)
        return std::string(path);
    const size_t earliest = starts.size() - (characters > 0 ? characters - 1 : 0);
    size_t from = earliest;
    while (from < starts.size() && path[starts[from]] != '/' && path[starts[from]] != '\\')
        ++from;
    if (from + 1 >= starts.size()) // no separator, or only a trailing one: cut inside the name
        from = earliest;
    return "\u2026" + std::string(path.substr(from < starts.size() ? starts[from] : path.size()));
}

std::u32string isolateNames(std::u32string_view path)
{
    if (!orvex::bidi::hasRightToLeft(path))
        return std::u32string(path);
    const auto separator = [](char32_t c) { return c == U'/' || c == U'\\'; };
    std::u32string out;
    out.reserve(path.size() + 8);
    for (size_t at = 0; at < path.size();) {
        if (separator(path[at])) {
            out.push_back(path[at++]);
            continue;
        }
        size_t end = at;
        while (end < path.size() && !separator(path[end]))
            ++end;
        // Outside the isolates every character ends at the line's left-to-right level: only
        // names with right-to-left text need one.
        const std::u32string_view name = path.substr(at, end - at);
        const bool isolate = orvex::bidi::hasRightToLeft(name);
        if (isolate)
            out.push_back(orvex::bidi::FSI);
        out.append(name);
        if (isolate)
            out.push_back(orvex::bidi::PDI);
        at = end;
    }
    return out;
}

uint8_t glyphCode(char32_t character, const GlyphPageCodes& page)
{
    if (character >= 32 && character <= 126)
        return uint8_t(character);
    if (character == '\t' || character == '\n')
        return ' ';
    if (character < 0xA0)
        return emptyCode; // carriage return, other controls, DEL, the C1 controls
    if (character == illFormed)
        return replacementCode;
    if (character == 0x2026)
        return ellipsisCode; // the built-in one, as an elided path starts
    return page.codeOf(character);
}

bool isAscii(std::string_view name)
{
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, name.data() + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < name.size(); ++i)
        if (static_cast<unsigned char>(name[i]) >= 0x80)
            return false;
    return true;
}

double glyphAdvance(uint8_t code)
{
    assert(code < 128 && "glyphAdvance: the built-in glyph codes are below 128");
    return glyphAdvances[code];
}

double packName(std::string_view name, float out[8], const GlyphPageCodes& page)
{
    thread_local std::vector<uint8_t> codes;
    decode(name, page, nameSlotsPerVertex + 1, true, codes);
    if (codes.size() <= size_t(nameSlotsPerVertex))
        return packCodes(codes.data(), codes.size(), out, 8, 0.0, page);
    double width = packCodes(codes.data(), nameSlotsPerVertex - 1, out, 8, 0.0, page);
    out[7] += ellipsisCode; // the 24th code is the low byte of the last float
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

namespace {

// The label of a name already turned into codes, one per character.
void labelFromCodes(const GeometryVertex& cell, const std::vector<uint8_t>& codes, uint64_t size, bool split,
                    std::vector<GeometryVertex>& out, const GlyphPageCodes& page)
{
    PackedSize packed = packSize(size);
    GeometryVertex vertex = {cell.x0, cell.row, cell.x1, cell.hue, 0.0f, packed.code, {}};
    if (codes.size() <= size_t(nameSlotsPerVertex)) {
        vertex.inverseLabelWidth = inverseLabelWidth(packed.width, packCodes(codes.data(), codes.size(), vertex.name, 8, 0.0, page));
        out.push_back(vertex);
        return;
    }
    if (!split) {
        const double width = packCodes(codes.data(), nameSlotsPerVertex - 1, vertex.name, 8, 0.0, page);
        vertex.name[7] += ellipsisCode; // the 24th code is the low byte of the last float
        vertex.inverseLabelWidth = inverseLabelWidth(packed.width, width + glyphAdvance(ellipsisCode));
        out.push_back(vertex);
        return;
    }

    size_t first = out.size();
    double pen = packCodes(codes.data(), nameSlotsPerVertex, vertex.name, 8, 0.0, page);
    out.push_back(vertex);
    vertex.sizeCode = 0.0f; // continuations draw no size line and no rectangle
    // Names long enough to push the offset to the limit (tens of thousands of characters) are cut
    // there rather than letting the shader decode the offset as glyph codes.
    for (size_t start = nameSlotsPerVertex; start < codes.size() && float(pen) < penOffsetLimit;
         start += continuationSlots) {
        vertex.name[7] = float(pen);
        pen = packCodes(codes.data() + start, std::min<size_t>(continuationSlots, codes.size() - start), vertex.name, 7, pen, page);
        out.push_back(vertex);
    }
    // Every part scales by the whole name so that the parts line up as one line of text.
    float inverse = inverseLabelWidth(packed.width, pen);
    for (size_t i = first; i < out.size(); ++i)
        out[i].inverseLabelWidth = inverse;
}

} // namespace

void labelVertices(const GeometryVertex& cell, std::string_view name, uint64_t size, bool split,
                   std::vector<GeometryVertex>& out, const GlyphPageCodes& page)
{
    thread_local std::vector<uint8_t> codes;
    decode(name, page, split ? name.size() * 6 : size_t(nameSlotsPerVertex + 1), !split, codes);
    labelFromCodes(cell, codes, size, split, out, page);
}

void labelVertices(const GeometryVertex& cell, const char32_t* characters, size_t count, uint64_t size, bool split,
                   std::vector<GeometryVertex>& out, const GlyphPageCodes& page)
{
    thread_local std::vector<uint8_t> codes;
    shownCodes(characters, count, split ? count * 6 : size_t(nameSlotsPerVertex + 1), !split, page, codes);
    labelFromCodes(cell, codes, size, split, out, page);
}

} // namespace LabelText
