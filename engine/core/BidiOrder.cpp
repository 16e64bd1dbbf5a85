// BidiOrder: levels are resolved per isolating run sequence (the text of one isolate, with the
// isolates nested in it standing as neutrals), as rules W1-W7, N1-N2 and I1-I2 ask; the type
// table covers the scripts by block, which is what a line of file names needs.
#include "engine/core/BidiOrder.h"

#include <algorithm>

namespace orvex::bidi {

namespace {

struct Range {
    char32_t first, last;
    Type type;
};

// Sorted, not overlapping; characters outside every range are L.
constexpr Range ranges[] = {
    { 0x0000, 0x0008, Type::BN }, { 0x0009, 0x0020, Type::N }, { 0x0021, 0x002A, Type::N },
    { 0x002B, 0x002B, Type::ES }, { 0x002C, 0x002C, Type::CS }, { 0x002D, 0x002D, Type::ES },
    { 0x002E, 0x002F, Type::CS }, { 0x0030, 0x0039, Type::EN }, { 0x003A, 0x003A, Type::CS },
    { 0x003B, 0x0040, Type::N }, { 0x005B, 0x0060, Type::N }, { 0x007B, 0x007E, Type::N },
    { 0x007F, 0x009F, Type::BN }, { 0x00A0, 0x00A0, Type::CS }, { 0x00A1, 0x00A9, Type::N },
    { 0x00AB, 0x00B1, Type::N }, { 0x00B2, 0x00B3, Type::EN }, { 0x00B4, 0x00B4, Type::N },
    { 0x00B6, 0x00B8, Type::N }, { 0x00B9, 0x00B9, Type::EN }, { 0x00BB, 0x00BF, Type::N },
    { 0x00D7, 0x00D7, Type::N }, { 0x00F7, 0x00F7, Type::N }, { 0x02B9, 0x02FF, Type::N },
    { 0x0300, 0x036F, Type::NSM }, { 0x0483, 0x0489, Type::NSM },
    { 0x0590, 0x0590, Type::R }, { 0x0591, 0x05BD, Type::NSM }, { 0x05BE, 0x05BE, Type::R },
    { 0x05BF, 0x05BF, Type::NSM }, { 0x05C0, 0x05C0, Type::R }, { 0x05C1, 0x05C2, Type::NSM },
    { 0x05C3, 0x05C3, Type::R }, { 0x05C4, 0x05C5, Type::NSM }, { 0x05C6, 0x05C6, Type::R },
    { 0x05C7, 0x05C7, Type::NSM }, { 0x05C8, 0x05FF, Type::R },
    { 0x0600, 0x060F, Type::AL }, { 0x0610, 0x061A, Type::NSM }, { 0x061B, 0x064A, Type::AL },
    { 0x064B, 0x065F, Type::NSM }, { 0x0660, 0x0669, Type::AN }, { 0x066A, 0x066A, Type::N },
    { 0x066B, 0x066C, Type::AN }, { 0x066D, 0x066F, Type::AL }, { 0x0670, 0x0670, Type::NSM },
    { 0x0671, 0x06D5, Type::AL }, { 0x06D6, 0x06DC, Type::NSM }, { 0x06DD, 0x06DE, Type::AL },
    { 0x06DF, 0x06E4, Type::NSM }, { 0x06E5, 0x06E6, Type::AL }, { 0x06E7, 0x06E8, Type::NSM },
    { 0x06E9, 0x06E9, Type::N }, { 0x06EA, 0x06ED, Type::NSM }, { 0x06EE, 0x06EF, Type::AL },
    { 0x06F0, 0x06F9, Type::EN }, { 0x06FA, 0x070F, Type::AL }, { 0x0710, 0x074F, Type::AL },
    { 0x0750, 0x07BF, Type::AL }, { 0x07C0, 0x085F, Type::R }, { 0x0860, 0x08FF, Type::AL },
    { 0x1AB0, 0x1AFF, Type::NSM }, { 0x1DC0, 0x1DFF, Type::NSM },
    { 0x2000, 0x200A, Type::N }, { 0x200B, 0x200D, Type::BN }, { 0x200E, 0x200E, Type::L },
    { 0x200F, 0x200F, Type::R }, { 0x2010, 0x2029, Type::N }, { 0x202A, 0x202E, Type::BN },
    { 0x202F, 0x202F, Type::CS }, { 0x2030, 0x205F, Type::N }, { 0x2060, 0x2065, Type::BN },
    { 0x2066, 0x2066, Type::LRI }, { 0x2067, 0x2067, Type::RLI }, { 0x2068, 0x2068, Type::FSI },
    { 0x2069, 0x2069, Type::PDI }, { 0x206A, 0x206F, Type::BN }, { 0x2070, 0x2070, Type::EN },
    { 0x2074, 0x2079, Type::EN }, { 0x207A, 0x207B, Type::ES }, { 0x207C, 0x207E, Type::N },
    { 0x2080, 0x2089, Type::EN }, { 0x208A, 0x208B, Type::ES }, { 0x208C, 0x208E, Type::N },
    { 0x20A0, 0x20CF, Type::N }, { 0x20D0, 0x20FF, Type::NSM }, { 0x2190, 0x2BFF, Type::N },
    { 0x2E00, 0x2E7F, Type::N }, { 0x3000, 0x3004, Type::N }, { 0x3008, 0x3020, Type::N },
    { 0xFB1D, 0xFB1D, Type::R }, { 0xFB1E, 0xFB1E, Type::NSM }, { 0xFB1F, 0xFB4F, Type::R },
    { 0xFB50, 0xFD3D, Type::AL }, { 0xFD3E, 0xFD3F, Type::N }, { 0xFD40, 0xFDFF, Type::AL },
    { 0xFE00, 0xFE0F, Type::NSM }, { 0xFE10, 0xFE1F, Type::N }, { 0xFE20, 0xFE2F, Type::NSM },
    { 0xFE30, 0xFE6F, Type::N }, { 0xFE70, 0xFEFE, Type::AL }, { 0xFEFF, 0xFEFF, Type::BN },
    { 0xFF01, 0xFF0F, Type::N }, { 0xFF10, 0xFF19, Type::EN }, { 0xFF1A, 0xFF20, Type::N },
    { 0xFFF0, 0xFFFF, Type::N }, { 0x10800, 0x10FFF, Type::R }, { 0x1E800, 0x1EFFF, Type::R },
    { 0x1F000, 0x1FAFF, Type::N }, { 0xE0000, 0xE0FFF, Type::BN },
};

bool isIsolateControl(Type type) { return type == Type::LRI || type == Type::RLI || type == Type::FSI || type == Type::PDI; }

// The strong direction at `index` for rules N1/N2: L, R (numbers count as R), or N.
Type strength(Type type)
{
    if (type == Type::L)
        return Type::L;
    if (type == Type::R || type == Type::EN || type == Type::AN)
        return Type::R;
    return Type::N;
}

// The direction of the first strong character after the isolate initiator at `start`, up to its
// PDI, skipping nested isolates: R for R and AL, else L.
Type firstStrong(const std::vector<Type>& types, size_t start)
{
    int depth = 0;
    for (size_t i = start + 1; i < types.size(); ++i) {
        const Type type = types[i];
        if (type == Type::LRI || type == Type::RLI || type == Type::FSI)
            ++depth;
        else if (type == Type::PDI && depth-- == 0)
            break;
        else if (depth == 0 && (type == Type::L || type == Type::R || type == Type::AL))
            return type == Type::L ? Type::L : Type::R;
    }
    return Type::L;
}

// Resolves the weak and neutral types of one isolating run sequence (indices into `types`) whose
// level is `level`, then its levels.
void resolveSequence(std::vector<Type>& types, std::vector<uint8_t>& out, const std::vector<size_t>& sequence,
                     uint8_t level)
{
    const Type edge = level % 2 ? Type::R : Type::L; // sos and eos
    // W1-W3 and W7 in one pass, with the last strong type seen.
    Type previous = edge, lastStrong = edge;
    for (size_t i : sequence) {
        Type& type = types[i];
        if (type == Type::NSM)
            type = isIsolateControl(previous) ? Type::N : previous;
        previous = type;
        if (type == Type::EN && lastStrong == Type::AL)
            type = Type::AN;
        if (type == Type::L || type == Type::R || type == Type::AL)
            lastStrong = type;
        if (type == Type::AL)
            type = Type::R;
    }
    // W4: one separator between two numbers of the same kind joins them.
    for (size_t k = 1; k + 1 < sequence.size(); ++k) {
        Type& type = types[sequence[k]];
        const Type before = types[sequence[k - 1]], after = types[sequence[k + 1]];
        if (before == after && ((before == Type::EN && (type == Type::ES || type == Type::CS)) || (before == Type::AN && type == Type::CS)))
            type = before;
    }
    lastStrong = edge;
    for (size_t i : sequence) {
        Type& type = types[i];
        if (type == Type::L || type == Type::R)
            lastStrong = type;
        else if (type == Type::EN && lastStrong == Type::L)
            type = Type::L;
    }
    // N1-N2: a run of neutrals takes the direction on both sides when they agree, else the level's.
    for (size_t k = 0; k < sequence.size();) {
        if (strength(types[sequence[k]]) != Type::N) {
            ++k;
            continue;
        }
        size_t end = k;
        while (end < sequence.size() && strength(types[sequence[end]]) == Type::N)
            ++end;
        const Type before = k == 0 ? edge : strength(types[sequence[k - 1]]);
        const Type after = end == sequence.size() ? edge : strength(types[sequence[end]]);
        const Type resolved = before == after ? before : edge;
        for (; k < end; ++k)
            types[sequence[k]] = resolved;
    }
    // I1-I2.
    for (size_t i : sequence) {
        const Type type = types[i];
        if (level % 2 == 0)
            out[i] = uint8_t(level + (type == Type::R ? 1 : type == Type::AN || type == Type::EN ? 2 : 0));
        else
            out[i] = uint8_t(level + (type == Type::L || type == Type::EN || type == Type::AN ? 1 : 0));
    }
}

} // namespace

Type typeOf(char32_t character)
{
    const Range* end = std::end(ranges);
    const Range* found = std::upper_bound(std::begin(ranges), end, character,
                                          [](char32_t c, const Range& range) { return c < range.first; });
    if (found == std::begin(ranges))
        return Type::L;
    --found;
    return character <= found->last ? found->type : Type::L;
}

bool hasRightToLeft(std::u32string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char32_t c) { return c >= 0x0590 && isRightToLeft(c); });
}

std::vector<uint8_t> levels(std::u32string_view text)
{
    constexpr size_t maxDepth = 125;
    std::vector<Type> types(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        types[i] = typeOf(text[i]);
    std::vector<uint8_t> out(text.size(), 0);
    // One sequence per isolate (the first: the line outside every isolate), and the open ones.
    std::vector<std::vector<size_t>> sequences(1);
    std::vector<uint8_t> sequenceLevels(1, 0);
    std::vector<size_t> open(1, 0);
    for (size_t i = 0; i < text.size(); ++i) {
        const Type type = types[i];
        if (type == Type::PDI && open.size() > 1)
            open.pop_back();
        sequences[open.back()].push_back(i);
        if ((type == Type::LRI || type == Type::RLI || type == Type::FSI) && open.size() <= maxDepth) {
            const uint8_t outer = sequenceLevels[open.back()];
            const bool rightToLeft = type == Type::RLI || (type == Type::FSI && firstStrong(types, i) == Type::R);
            sequenceLevels.push_back(uint8_t(rightToLeft ? (outer + 1) | 1 : (outer + 2) & ~1));
            open.push_back(sequences.size());
            sequences.emplace_back();
        }
    }
    for (size_t s = 0; s < sequences.size(); ++s) {
        for (size_t i : sequences[s])
            if (types[i] == Type::BN)
                types[i] = Type::N;
        resolveSequence(types, out, sequences[s], sequenceLevels[s]);
    }
    // The controls themselves stand at the level around them (I1-I2 may have raised them).
    for (size_t s = 0; s < sequences.size(); ++s)
        for (size_t i : sequences[s])
            if (isIsolateControl(typeOf(text[i])))
                out[i] = sequenceLevels[s];
    return out;
}

std::vector<size_t> visualOrder(const std::vector<uint8_t>& levels)
{
    std::vector<size_t> order(levels.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (levels.empty())
        return order;
    uint8_t highest = 0, lowestOdd = 255;
    for (uint8_t level : levels) {
        highest = std::max(highest, level);
        if (level % 2)
            lowestOdd = std::min(lowestOdd, level);
    }
    for (int level = highest; level >= int(lowestOdd) && level > 0; --level) {
        for (size_t i = 0; i < order.size();) {
            if (levels[order[i]] < level) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < order.size() && levels[order[end]] >= level)
                ++end;
            std::reverse(order.begin() + ptrdiff_t(i), order.begin() + ptrdiff_t(end));
            i = end;
        }
    }
    return order;
}

char32_t mirrored(char32_t character)
{
    switch (character) {
    case U'(': return U')';
    case U')': return U'(';
    case U'[': return U']';
    case U']': return U'[';
    case U'{': return U'}';
    case U'}': return U'{';
    case U'<': return U'>';
    case U'>': return U'<';
    case U'\u00AB': return U'\u00BB';
    case U'\u00BB': return U'\u00AB';
    default: return character;
    }
}

} // namespace orvex::bidi
