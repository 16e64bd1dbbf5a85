// FontEngine and Font: the seam between the native text objects and the platform's font engine.
// A backend (freetype/ on Linux, gdi/ on Windows) makes fonts from a FontDescription, shapes a line of
// code points into positioned glyphs with one cell per code point, draws shaped glyphs onto the
// atlas's BGR surface and finds line-break opportunities. Shared code includes no native header.
// Window thread only.
#pragma once

#include "engine/core/UniquePtr.h"
#include "gui/text/BgrSurface.h"
#include "gui/text/FontDescription.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex::gui {

struct FontMetrics {
    int ascent = 0;  // whole pixels above the baseline
    int descent = 0; // whole pixels below it
    int height = 0;  // the cell height: ascent + descent, the height of one line
};

// One glyph placed on a line: pen position in whole pixels relative to the line's left end on
// the baseline (y downwards).
struct ShapedGlyph {
    uint32_t face = 0;    // which face of the font drew it: 0 the chosen face, others fallbacks
    uint32_t glyph = 0;   // glyph index in that face (0: the face's missing-glyph box)
    int x = 0;
    int y = 0;
    int32_t cluster = 0;  // index of the first code point it shows, in the shaped string
};

// A shaped string: its glyphs and, per code point, the cell it occupies. Cells follow the
// reading order of their run, so in a right-to-left run the caret before a code point is its
// cell's right edge. Glyphs of a ligature share its width among the code points it covers;
// combining marks get empty cells.
struct ShapedText {
    std::vector<ShapedGlyph> glyphs;
    std::vector<int> cellLeft;
    std::vector<int> cellRight;
    std::vector<uint8_t> rightToLeft; // per code point
    int width = 0;                    // total advance

    size_t size() const { return cellLeft.size(); }
    int advance(size_t i) const { return cellRight[i] - cellLeft[i]; }
    // The caret x before code point i (i == size(): after the last one).
    int caretBefore(size_t i) const;
};

// How shaped glyphs are painted: glyphs whose cluster lies in [selectionStart, selectionEnd) take
// `selected`, the others `normal`.
struct GlyphPaint {
    Bgr normal;
    Bgr selected;
    int64_t selectionStart = 0;
    int64_t selectionEnd = 0;
};

class Font {
public:
    virtual ~Font() = default;
    virtual FontMetrics metrics() const = 0;
    // Shapes one line. Characters the chosen face lacks are shaped with a fallback face that has
    // them, where one is installed. Control characters are shaped as spaces.
    virtual ShapedText shape(std::u32string_view text) = 0;
    // Draws the glyphs with the line's left end at x = `left` and its baseline at y = `baseline`,
    // clipped to `clip`.
    virtual void draw(const ShapedText& text, BgrSurface& surface, int left, int baseline, const IntRect& clip,
                      const GlyphPaint& paint) = 0;
};

class FontEngine {
public:
    virtual ~FontEngine() = default;
    // Null when no font can be made for that FontDescription.
    virtual UniquePtr<Font> createFont(const FontDescription& spec) = 0;
    // One flag per code point of a paragraph (no line feeds in it): nonzero where a line may
    // break before that code point. The first flag is always 0.
    virtual std::vector<uint8_t> breakOpportunities(std::u32string_view paragraph) = 0;
};

// The platform's engine (the backend CMake built in).
UniquePtr<FontEngine> createFontEngine();

} // namespace orvex::gui
