// The GDI backend of the font-engine seam: GdiFontEngine (the system's message-box face as the
// default, Uniscribe's ScriptBreak for line-break opportunities) and GdiFont (a GDI font in a
// memory device context, shaped and placed by Uniscribe, rendered white on black into a DIB
// section and blended from there onto the BGR surface). Only this folder includes these native
// headers. Window thread.
#pragma once

#include "gui/text/FontEngine.h"

#include <windows.h>
#include <usp10.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace orvex::gui {

class GdiFontEngine final : public FontEngine {
public:
    UniquePtr<Font> createFont(const FontDescription& spec) override;
    std::vector<uint8_t> breakOpportunities(std::u32string_view paragraph) override;

    // The face of the system's message-box font (non-client metrics), read once per process;
    // "Segoe UI" when the system does not answer.
    static const std::wstring& defaultFace();
};

// A code-point string as UTF-16, with the code point each unit belongs to.
struct Utf16Text {
    std::wstring units;
    std::vector<uint32_t> codePoint; // per unit

    explicit Utf16Text(std::u32string_view text);
};

class GdiFont final : public Font {
public:
    // Null when the face name does not fit a LOGFONT, the height is not positive or GDI refuses.
    static UniquePtr<GdiFont> create(const FontDescription& spec);
    ~GdiFont() override;
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;

    FontMetrics metrics() const override { return fontMetrics; }
    ShapedText shape(std::u32string_view text) override;
    void draw(const ShapedText& text, BgrSurface& surface, int left, int baseline, const IntRect& clip,
              const GlyphPaint& paint) override;

    // The face name GDI actually chose for face `face` (0: the chosen face).
    std::wstring actualFace(uint32_t face);

private:
    struct Face {
        HFONT font = nullptr;
        SCRIPT_CACHE cache = nullptr;
        std::vector<WCRANGE> ranges; // the characters of the basic plane it has
        std::wstring actual;         // the face GDI chose for the name asked
    };
    // One shaped item: glyphs in visual order with their advances and offsets.
    struct ItemGlyphs {
        std::vector<WORD> glyphs;
        std::vector<WORD> clusters; // per UTF-16 unit: its cluster's glyph
        std::vector<SCRIPT_VISATTR> attributes;
        std::vector<int> advances;
        std::vector<GOFFSET> offsets;
    };

    GdiFont(HDC dc, LOGFONTW logFont);
    // Index into `faces` (of the face already open when GDI maps the name to it), or -1 when GDI
    // cannot make it.
    int addFace(const wchar_t* name);
    bool covers(uint32_t face, char32_t character);
    // The face a character is drawn with: the chosen face when it has it, else the first fallback
    // face that has it (the chosen face's missing-glyph box when none does).
    uint32_t faceFor(char32_t character);
    // Shapes a run of units with face `face`; false on a Uniscribe failure.
    bool shapeRun(uint32_t face, const wchar_t* units, int count, SCRIPT_ANALYSIS& analysis, ItemGlyphs& out);
    void select(uint32_t face);
    bool ensureRaster(int width, int height);

    HDC dc;
    LOGFONTW logFont;  // the chosen face's; fallbacks differ only in the face name
    FontMetrics fontMetrics;
    std::vector<Face> faces;
    std::unordered_map<char32_t, uint32_t> fallbacks;
    uint32_t selected = UINT32_MAX;
    HBITMAP raster = nullptr; // 32-bit top-down DIB section selected into `dc`
    HGDIOBJ initialBitmap = nullptr;
    uint32_t* rasterBits = nullptr;
    int rasterWidth = 0;
    int rasterHeight = 0;
};

} // namespace orvex::gui
