// LabelFontWriter: writes the generated label font as a C++ source (the atlas, the glyph table and
// the advance table that label widths are measured with) and, for inspection, the atlas as a PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace LabelFontWriter {

// `atlas` is size x size RGB, bottom row first; `table` is 128 x 9 floats whose ninth column also
// becomes glyphAdvances. `names` labels each table row in a comment. False with `error` set on I/O
// failure; the file is written beside `path` and renamed over it, so a failed run leaves no output
// and an earlier file as it was.
bool writeSource(const std::string& path, const std::vector<uint8_t>& atlas, int size,
                 const std::vector<float>& table, const std::vector<std::string>& names, std::string& error);

// The atlas as an 8-bit RGB PNG, top row first (so it reads upright); written like the source.
bool writePng(const std::string& path, const std::vector<uint8_t>& atlas, int size, std::string& error);

} // namespace LabelFontWriter
