// LabelCharacters: which characters past ASCII a chart's labels need most, for its glyph page. Each
// character weighs the bytes of every cell whose name uses it (a character in many large cells
// first), over the nodes the layout can draw (those of at least the minimum size, under parents
// that are drawn too) and the root's caption. Pure: any thread that may read the tree.
#pragma once

#include "scan/FilesystemNode.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// At most `limit` characters, the heaviest first (ties by code point). Empty when every name is
// ASCII. Control characters, the replacement character and bytes that are not UTF-8 never count.
std::vector<char32_t> rankLabelCharacters(const FilesystemNode* root, uint64_t minimumSize, std::string_view rootCaption,
                                          size_t limit);
