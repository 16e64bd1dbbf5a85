// LabelCharacters: the weights of every character past ASCII in the labelled cells' names.
#include "icicle/LabelCharacters.h"

#include "icicle/LabelText.h"

#include <algorithm>
#include <unordered_map>

namespace {

void weigh(std::string_view name, double weight, std::unordered_map<char32_t, double>& weights)
{
    if (LabelText::isAscii(name))
        return;
    for (size_t at = 0; at < name.size();) {
        const char32_t character = LabelText::nextCharacter(name, at);
        if (character >= 0xA0 && character != LabelText::illFormed && character != 0xFFFD)
            weights[character] += weight;
    }
}

} // namespace

std::vector<char32_t> rankLabelCharacters(const std::vector<LabelCharacterUse>& uses, size_t limit)
{
    std::unordered_map<char32_t, double> weights;
    for (const LabelCharacterUse& use : uses)
        weigh(use.name, use.weight, weights);
    std::vector<std::pair<char32_t, double>> ranked(weights.begin(), weights.end());
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    std::vector<char32_t> characters;
    for (size_t i = 0; i < ranked.size() && i < limit; ++i)
        characters.push_back(ranked[i].first);
    return characters;
}
