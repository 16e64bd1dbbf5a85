// The texts of the scanning overlay: the byte count of the "Mapped" line and the indented path of
// the directory being walked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// At most eight ASCII characters: "1023 B", "1.000 kB", "100.0 kB", "0.977 MB", "16.00 EB". Four
// significant digits; a rounding that would make a fifth moves the point right, or on to the next
// unit where it already stands after three digits.
std::string formatByteCount(uint64_t bytes);

// The path as the overlay shows it: the root's name (the first `rootNameLength` bytes) as it is,
// then every deeper level on a line of its own, indented two spaces more than the one before and
// starting with its '/'. When `levelsLeftOut` (the path holds only the last levels of a deeper
// one), a line "…" stands for the missing levels, indented as the first of them would be.
std::string progressText(std::string_view path, uint64_t rootNameLength, bool levelsLeftOut = false);

// How many levels below the root the overlay can show in `height` pixels of lines `lineHeight`
// high: one line each, after the root's line and the "…" line; never fewer than one.
size_t progressLevelsThatFit(double height, double lineHeight);
