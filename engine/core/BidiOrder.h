// BidiOrder: the visual order of one line of text whose paragraph runs left to right, after the
// Unicode bidirectional algorithm as far as a line of names needs it: strong and weak types from
// a compact range table, the isolates (LRI, RLI, FSI … PDI), numbers, separators between numbers,
// neutrals taking the direction of the text around them, and the reordering of resolved levels.
// Explicit embeddings and overrides are ignored (taken as boundary neutrals). Pure: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex::bidi {

enum class Type : uint8_t {
    L,   // left to right
    R,   // right to left (Hebrew and most others)
    AL,  // Arabic letter
    EN,  // European digit
    AN,  // Arabic digit
    ES,  // plus and minus
    CS,  // a separator inside a number: , . / :
    NSM, // a combining mark
    BN,  // a format character that takes no room
    N,   // any other neutral: spaces, punctuation, symbols
    LRI,
    RLI,
    FSI,
    PDI,
};

constexpr char32_t FSI = 0x2068;
constexpr char32_t PDI = 0x2069;

Type typeOf(char32_t character);
// Whether the character is strongly right to left.
inline bool isRightToLeft(char32_t character)
{
    const Type type = typeOf(character);
    return type == Type::R || type == Type::AL;
}
// Whether any character of `text` is strongly right to left (a line without one is all level 0).
bool hasRightToLeft(std::u32string_view text);

// One embedding level per character for a line in a left-to-right paragraph: even levels run left
// to right, odd ones right to left. Isolate initiators and PDIs take the level around them.
std::vector<uint8_t> levels(std::u32string_view text);
// The indices 0..levels.size()-1 in the order they are shown from left to right (rule L2: from the
// highest level down to the lowest odd one, every run at that level or above is reversed).
std::vector<size_t> visualOrder(const std::vector<uint8_t>& levels);
// The mirrored bracket a right-to-left run shows for `character` ('(' for ')'), else itself.
char32_t mirrored(char32_t character);

} // namespace orvex::bidi
