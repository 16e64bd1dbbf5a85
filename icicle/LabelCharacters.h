// LabelCharacters: which characters past ASCII a chart's labels need most, for its glyph page. Each
// character weighs the bytes of every labelled cell whose name uses it, so a character in many large
// cells comes first. Pure: any thread.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

struct LabelCharacterUse {
    std::string_view name; // a cell's label text
    double weight;         // its cell's bytes
};

// At most `limit` characters, the heaviest first (ties by code point). Empty when every name is
// ASCII. Control characters, the replacement character and bytes that are not UTF-8 never count.
std::vector<char32_t> rankLabelCharacters(const std::vector<LabelCharacterUse>& uses, size_t limit);
