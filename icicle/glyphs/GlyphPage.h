// GlyphPage: a chart's second label atlas, built at run time for up to 128 characters the built-in
// label font lacks (glyph codes 128-255). Same distance range, texels per em, padding and name-line
// scale as the built-in font, so a page glyph drawn after an ASCII one matches it in size and
// baseline. Faces come from the system's per-character fallback (GlyphSource.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

struct GlyphPage {
    std::vector<char32_t> characters;    // at most 128; characters[i] has glyph code 128 + i
    int atlasWidth = 0, atlasHeight = 0; // the page's atlas, RGB8, rows from the bottom as GL uploads them
    std::vector<uint8_t> atlas;
    std::vector<float> table;            // characters.size() * 9 floats, the label glyph table's layout,
                                         // atlas coordinates normalised to this page
};

// Builds the glyphs of `ranked` (most important first; may hold more than 128): the first 128
// distinct characters that some installed face can draw, each from the face the system picks for
// it (the label face DejaVu Sans first). Characters no face has are left out. Combining marks keep
// a zero advance and their ink left of the pen, over the character before. The atlas is 512
// texels wide (1024 when that would be taller than 512), its height the rows used rounded up to a
// multiple of 64; an empty page has a 0 x 0 atlas.
// Any thread; thread-safe. Runs up to two worker threads of its own and joins them before returning.
GlyphPage buildGlyphPage(const std::vector<char32_t>& ranked);

// The same in two steps, so that labels can be packed while the fields are drawn: the plan picks
// the characters (in code order) and tells their advances in text units, cheaply; drawing it makes
// the atlas and the table. Glyphs once drawn are kept for the process (up to 1,024), so a chart
// built again (after a refresh) copies them. Each step: any thread.
struct GlyphPagePlan {
    std::vector<char32_t> characters;
    std::vector<float> advances;

    GlyphPagePlan();
    ~GlyphPagePlan();
    GlyphPagePlan(GlyphPagePlan&&) noexcept;
    GlyphPagePlan& operator=(GlyphPagePlan&&) noexcept;
    struct Work;
    std::unique_ptr<Work> work; // the outlines and the glyphs still to draw
};
GlyphPagePlan planGlyphPage(const std::vector<char32_t>& ranked);
// Whether the process has `character`'s glyph drawn already (for tests).
bool glyphDrawn(char32_t character);
GlyphPage drawGlyphPage(GlyphPagePlan plan);

// The face buildGlyphPage draws `character` from: on Linux the face file and its index in a
// collection, on Windows the family name (index 0). An empty `file` when no face has it.
// Any thread; thread-safe (answers are cached for the process).
struct GlyphFace {
    std::string file;
    int index = 0;
};
GlyphFace glyphPageFace(char32_t character);

} // namespace orvex
