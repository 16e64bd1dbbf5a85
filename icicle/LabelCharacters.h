// LabelCharacters: which characters past ASCII a chart's labels need most, for its glyph page. Each
// character weighs the bytes of every labelled cell whose name uses it, so a character in many large
// cells comes first. Pure: any thread.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Weights of characters as they are met, in a small open-addressing table (a chart's names hold a
// few hundred distinct characters but millions of uses).
class CharacterWeights {
public:
    // Adds `weight` to `character` when it is one a glyph page may draw.
    void add(char32_t character, double weight);
    // At most `limit` characters, the heaviest first (ties by code point).
    std::vector<char32_t> ranked(size_t limit) const;
    bool empty() const { return count == 0; }

private:
    struct Slot {
        char32_t character = 0;
        double weight = 0;
    };
    void grow();
    std::vector<Slot> slots;
    size_t count = 0;
};

struct LabelCharacterUse {
    std::string_view name; // a cell's label text
    double weight;         // its cell's bytes
};

// At most `limit` characters, the heaviest first (ties by code point). Empty when every name is
// ASCII. Control characters, the replacement character, the ellipsis (the labels have their own)
// and bytes that are not UTF-8 (a lone surrogate among them) never count.
std::vector<char32_t> rankLabelCharacters(const std::vector<LabelCharacterUse>& uses, size_t limit);
