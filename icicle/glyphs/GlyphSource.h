// GlyphSource: the platform half of the glyph page, which picks a face per character and reads
// its outline. freetype/FontconfigGlyphSource.cpp (fontconfig's per-character match, FreeType
// outlines) on Linux, gdi/GdiGlyphSource.cpp (GDI families by Unicode range, GetGlyphOutlineW) on
// Windows; CMake picks one.
#pragma once

#include "icicle/glyphs/GlyphPage.h"
#include "icicle/glyphs/Outline.h"

#include <cstddef>
#include <vector>

namespace orvex::glyphs {

struct SourceGlyph {
    char32_t character = 0;
    Outline outline;  // em units, finished (Outline::finish), not yet coloured
    double advance = 0; // em
};

struct SourceGlyphs {
    std::vector<SourceGlyph> glyphs;
    double labelZeroAdvance = 0; // em advance of the label face's digit zero; 0 when no label face
};

// Outlines of the first `limit` characters of `characters` (distinct) that some face draws, in
// their order. Any thread; each call uses font handles of its own.
SourceGlyphs loadSourceGlyphs(const std::vector<char32_t>& characters, size_t limit);

// glyphPageFace's answer. Any thread.
GlyphFace sourceFace(char32_t character);

} // namespace orvex::glyphs
