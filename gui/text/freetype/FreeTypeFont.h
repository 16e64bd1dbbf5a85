// The FreeType backend of the font-engine seam: FreeTypeFontEngine (one FreeType library,
// fontconfig matching, UAX #14 break opportunities from libunibreak) and FreeTypeFont (the chosen
// face plus the fallback faces fontconfig names for characters it lacks, shaped with HarfBuzz and
// rasterised by FreeType onto the BGR surface). Only this folder includes these native headers.
// Window thread.
#pragma once

#include "gui/text/FontEngine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>
#include <hb.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvex::gui {

class FreeTypeFontEngine final : public FontEngine {
public:
    // Null when FreeType or fontconfig cannot start.
    static UniquePtr<FreeTypeFontEngine> create();
    ~FreeTypeFontEngine() override;
    FreeTypeFontEngine(const FreeTypeFontEngine&) = delete;
    FreeTypeFontEngine& operator=(const FreeTypeFontEngine&) = delete;

    UniquePtr<Font> createFont(const FontDescription& spec) override;
    std::vector<uint8_t> breakOpportunities(std::u32string_view paragraph) override;

    struct FaceFile {
        std::string path;
        int index = 0;
    };
    // The family standing in for the system's user-interface face: fontconfig's match for
    // "sans-serif", looked up once per process.
    static const std::string& defaultFamily();
    // A pattern for a family (UTF-8), weight (400, 700, ...) and slant; the caller destroys it.
    static FcPattern* basePattern(const std::string& family, int weight, bool italic);
    // The best installed face for `pattern`; with `character` other than 0, one that has it.
    static std::optional<FaceFile> match(const FcPattern* pattern, char32_t character);

    FT_Library library() const { return freetype; }

private:
    explicit FreeTypeFontEngine(FT_Library library) : freetype(library) {}

    FT_Library freetype;
};

class FreeTypeFont final : public Font {
public:
    // Null when the face cannot be opened or sized. A face name that is an absolute path names
    // the font file itself.
    static UniquePtr<FreeTypeFont> create(FreeTypeFontEngine& engine, const FontDescription& spec);
    ~FreeTypeFont() override;
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    FontMetrics metrics() const override { return fontMetrics; }
    ShapedText shape(std::u32string_view text) override;
    void draw(const ShapedText& text, BgrSurface& surface, int left, int baseline, const IntRect& clip,
              const GlyphPaint& paint) override;

    // The file behind face `face` (0: the chosen face).
    const std::string& facePath(uint32_t face) const { return faces[face].file.path; }

private:
    struct Face {
        FT_Face face = nullptr;
        hb_font_t* shaper = nullptr;
        FreeTypeFontEngine::FaceFile file;
    };

    FreeTypeFont(FreeTypeFontEngine& engine, FcPattern* pattern, int pixels, int quality);
    // Index into `faces`, or -1 when the file cannot be opened.
    int openFace(const FreeTypeFontEngine::FaceFile& file);
    // The face a character is drawn with: the chosen face when it has it, else its fallback.
    int faceFor(char32_t character);
    void drawGlyph(const ShapedGlyph& glyph, BgrSurface& surface, int left, int baseline, const IntRect& clip,
                   Bgr color);

    FreeTypeFontEngine& engine;
    FcPattern* pattern; // family, weight and slant: where fallback matching starts
    int pixels;
    FT_Int32 loadFlags;
    FT_Render_Mode renderMode;
    FontMetrics fontMetrics;
    std::vector<Face> faces;
    std::unordered_map<char32_t, int> fallbacks;
    hb_buffer_t* buffer;
};

} // namespace orvex::gui
