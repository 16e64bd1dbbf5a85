// LabelCharacters: the weights of every character past ASCII in the labelled cells' names.
#include "icicle/LabelCharacters.h"

#include "icicle/LabelText.h"

#include <algorithm>

void CharacterWeights::add(char32_t character, double weight)
{
    if (character < 0xA0 || character == LabelText::illFormed || character == 0xFFFD || character == 0x2026)
        return;
    if (2 * (count + 1) > slots.size())
        grow();
    const size_t mask = slots.size() - 1;
    for (size_t slot = (character * 2654435761u) & mask;; slot = (slot + 1) & mask) {
        if (slots[slot].character == character) {
            slots[slot].weight += weight;
            return;
        }
        if (slots[slot].character == 0) {
            slots[slot] = { character, weight };
            ++count;
            return;
        }
    }
}

void CharacterWeights::grow()
{
    std::vector<Slot> old = std::move(slots);
    slots.assign(old.empty() ? 256 : 2 * old.size(), Slot {});
    count = 0;
    for (const Slot& slot : old)
        if (slot.character != 0)
            add(slot.character, slot.weight);
}

std::vector<char32_t> CharacterWeights::ranked(size_t limit) const
{
    std::vector<Slot> used;
    for (const Slot& slot : slots)
        if (slot.character != 0)
            used.push_back(slot);
    std::sort(used.begin(), used.end(), [](const Slot& a, const Slot& b) {
        return a.weight != b.weight ? a.weight > b.weight : a.character < b.character;
    });
    std::vector<char32_t> characters;
    for (size_t i = 0; i < used.size() && i < limit; ++i)
        characters.push_back(used[i].character);
    return characters;
}

std::vector<char32_t> rankLabelCharacters(const std::vector<LabelCharacterUse>& uses, size_t limit)
{
    CharacterWeights weights;
    for (const LabelCharacterUse& use : uses) {
        if (LabelText::isAscii(use.name))
            continue;
        for (size_t at = 0; at < use.name.size();)
            weights.add(LabelText::nextCharacter(use.name, at), use.weight);
    }
    return weights.ranked(limit);
}
