// LabelCharacters: a walk over the drawable nodes that skips pure-ASCII names eight bytes at a
// time, so a tree of ASCII names costs little more than the visit.
#include "icicle/LabelCharacters.h"

#include "icicle/LabelText.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

bool ascii(std::string_view name)
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

void weigh(std::string_view name, double weight, std::unordered_map<char32_t, double>& weights)
{
    if (ascii(name))
        return;
    for (size_t at = 0; at < name.size();) {
        const char32_t character = LabelText::nextCharacter(name, at);
        if (character >= 0xA0 && character != LabelText::illFormed && character != 0xFFFD)
            weights[character] += weight;
    }
}

} // namespace

std::vector<char32_t> rankLabelCharacters(const FilesystemNode* root, uint64_t minimumSize, std::string_view rootCaption,
                                          size_t limit)
{
    if (!root || limit == 0)
        return {};
    std::unordered_map<char32_t, double> weights;
    weigh(rootCaption.empty() ? root->name.view() : rootCaption, double(root->size), weights);
    std::vector<const FilesystemNode*> open { root };
    while (!open.empty()) {
        const FilesystemNode* folder = open.back();
        open.pop_back();
        for (int64_t i = 0; i < folder->children.count; ++i) {
            const FilesystemNode* child = folder->children[i];
            if (child->size < minimumSize)
                continue;
            weigh(child->name.view(), double(child->size), weights);
            if (child->children.count > 0)
                open.push_back(child);
        }
    }
    std::vector<std::pair<char32_t, double>> ranked(weights.begin(), weights.end());
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    std::vector<char32_t> characters;
    for (size_t i = 0; i < ranked.size() && i < limit; ++i)
        characters.push_back(ranked[i].first);
    return characters;
}
