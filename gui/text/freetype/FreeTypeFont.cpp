// FreeTypeFont: one native font on Linux. Text is split into runs by the face that has each
// character (the chosen face first, then fontconfig's fallback for it), by script and by bidi level
// (BidiOrder: the line's paragraph runs left to right, isolates keep a name's direction to
// itself), each run is shaped with HarfBuzz in its level's direction at whole-pixel advances, runs
// are placed in visual order, and glyphs are rendered by FreeType and blended
// onto the BGR surface. Whole-pixel advances keep caret positions and drawn glyphs in step.
#include "gui/text/freetype/FreeTypeFont.h"

#include "engine/core/BidiOrder.h"
#include "gui/TextObject.h"

#include <hb-ft.h>

#include <algorithm>
#include <cmath>

namespace orvex::gui {

namespace {

int toPixels(hb_position_t value) { return int(std::lround(value / 64.0)); }

bool isMark(hb_unicode_funcs_t* unicode, char32_t c)
{
    switch (hb_unicode_general_category(unicode, c)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
        return true;
    default:
        // Joiners and variation selectors belong to the character before them too.
        return c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F);
    }
}

bool isNeutralScript(hb_script_t script)
{
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

} // namespace

// [SECTION] Creation

UniquePtr<FreeTypeFont> FreeTypeFont::create(FreeTypeFontEngine& engine, const FontDescription& spec)
{
    const int pixels = pixelHeight(spec.height);
    if (pixels == 0)
        return nullptr;
    const bool byPath = !spec.faceName.empty() && spec.faceName.front() == U'/';
    const std::string name = spec.faceName.empty() ? FreeTypeFontEngine::defaultFamily() : toUtf8(spec.faceName);
    std::optional<FreeTypeFontEngine::FaceFile> file;
    FcPattern* pattern = nullptr;
    if (byPath) {
        file = FreeTypeFontEngine::FaceFile { name, 0 };
    } else {
        pattern = FreeTypeFontEngine::basePattern(name, spec.weight, spec.italic);
        file = FreeTypeFontEngine::match(pattern, 0);
    }
    if (!file) {
        if (pattern)
            FcPatternDestroy(pattern);
        return nullptr;
    }
    UniquePtr<FreeTypeFont> font(new FreeTypeFont(engine, pattern, pixels, spec.quality));
    if (font->openFace(*file) != 0)
        return nullptr;
    if (!font->pattern) {
        // A face opened by path falls back from its own family.
        const char* family = font->faces[0].face->family_name;
        font->pattern = FreeTypeFontEngine::basePattern(family ? family : "sans-serif", spec.weight, spec.italic);
    }
    const FT_Size_Metrics& size = font->faces[0].face->size->metrics;
    font->fontMetrics.ascent = int((size.ascender + 63) >> 6);
    font->fontMetrics.descent = int((-size.descender + 63) >> 6);
    font->fontMetrics.height = font->fontMetrics.ascent + font->fontMetrics.descent;
    return font;
}

FreeTypeFont::FreeTypeFont(FreeTypeFontEngine& engine, FcPattern* pattern, int pixels, int quality)
    : engine(engine), pattern(pattern), pixels(pixels),
      loadFlags(quality == 0 ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT),
      renderMode(quality == 0 ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL), buffer(hb_buffer_create())
{
}

FreeTypeFont::~FreeTypeFont()
{
    for (Face& face : faces) {
        hb_font_destroy(face.shaper); // releases its reference on the FT_Face
        FT_Done_Face(face.face);
    }
    hb_buffer_destroy(buffer);
    if (pattern)
        FcPatternDestroy(pattern);
}

int FreeTypeFont::openFace(const FreeTypeFontEngine::FaceFile& file)
{
    for (size_t i = 0; i < faces.size(); ++i)
        if (faces[i].file.path == file.path && faces[i].file.index == file.index)
            return int(i);
    FT_Face face = nullptr;
    if (FT_New_Face(engine.library(), file.path.c_str(), file.index, &face) != 0)
        return -1;
    // The pixel height is the em height, as a negative character height is for GDI.
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels)) != 0) {
        FT_Done_Face(face);
        return -1;
    }
    hb_font_t* shaper = hb_ft_font_create_referenced(face);
    hb_ft_font_set_load_flags(shaper, loadFlags);
    faces.push_back({ face, shaper, file });
    return int(faces.size() - 1);
}

int FreeTypeFont::faceFor(char32_t character)
{
    if (FT_Get_Char_Index(faces[0].face, character) != 0)
        return 0;
    if (auto known = fallbacks.find(character); known != fallbacks.end())
        return known->second;
    int face = 0; // no installed face has it: the chosen face's missing-glyph box
    if (std::optional<FreeTypeFontEngine::FaceFile> file = FreeTypeFontEngine::match(pattern, character))
        face = std::max(0, openFace(*file));
    fallbacks.emplace(character, face);
    return face;
}

// [SECTION] Shaping

ShapedText FreeTypeFont::shape(std::u32string_view text)
{
    ShapedText out;
    const size_t n = text.size();
    out.cellLeft.assign(n, 0);
    out.cellRight.assign(n, 0);
    out.rightToLeft.assign(n, 0);
    if (n == 0)
        return out;

    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    std::u32string chars(text);
    std::vector<int> faceOf(n);
    std::vector<hb_script_t> scriptOf(n);
    std::vector<uint8_t> mark(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t& c = chars[i];
        if (c < 0x20 || c == 0x7F)
            c = U' '; // tabs and carriage returns take the room of a space, never a box
        mark[i] = isMark(unicode, c);
        // Bidi controls take no room: HarfBuzz hides them in any face, so none is looked up.
        const bool control = (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF;
        faceOf[i] = (mark[i] || control) && i > 0 ? faceOf[i - 1] : control ? 0 : faceFor(c);
        const hb_script_t script = hb_unicode_script(unicode, c);
        scriptOf[i] = isNeutralScript(script) && i > 0 ? scriptOf[i - 1] : script;
    }

    // Runs: one face, one script and one bidi level each, placed from left to right in the
    // visual order of their levels.
    // Most lines hold no right-to-left letter: their runs all read left to right.
    const std::vector<uint8_t> levels = bidi::hasRightToLeft(chars) ? bidi::levels(chars) : std::vector<uint8_t>(n, 0);
    struct Run {
        size_t start, end;
    };
    std::vector<Run> runs;
    std::vector<uint8_t> runLevels;
    for (size_t start = 0; start < n;) {
        size_t end = start + 1;
        while (end < n && faceOf[end] == faceOf[start] && scriptOf[end] == scriptOf[start] && levels[end] == levels[start])
            ++end;
        runs.push_back({ start, end });
        runLevels.push_back(levels[start]);
        start = end;
    }

    std::vector<int> advance(n, 0);
    std::vector<uint8_t> clusterStart(n, 0);
    int runX = 0;
    for (size_t r : bidi::visualOrder(runLevels)) {
        const size_t start = runs[r].start, end = runs[r].end;
        const hb_script_t script = isNeutralScript(scriptOf[start]) ? HB_SCRIPT_LATIN : scriptOf[start];
        const hb_direction_t direction = runLevels[r] % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR;

        hb_buffer_clear_contents(buffer);
        static_assert(sizeof(hb_codepoint_t) == sizeof(char32_t));
        hb_buffer_add_codepoints(buffer, reinterpret_cast<const hb_codepoint_t*>(chars.data()), int(n),
                                 unsigned(start), int(end - start));
        hb_buffer_set_script(buffer, script);
        hb_buffer_set_direction(buffer, direction);
        hb_buffer_set_language(buffer, hb_language_get_default());
        hb_shape(faces[size_t(faceOf[start])].shaper, buffer, nullptr, 0);

        unsigned count = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
        std::vector<int> clusterAdvance(end - start, 0);
        int pen = 0;
        for (unsigned g = 0; g < count; ++g) {
            const size_t cluster = std::clamp<size_t>(infos[g].cluster, start, end - 1);
            const int glyphAdvance = toPixels(positions[g].x_advance);
            out.glyphs.push_back({ uint32_t(faceOf[start]), infos[g].codepoint,
                                   runX + pen + toPixels(positions[g].x_offset), -toPixels(positions[g].y_offset),
                                   int32_t(cluster) });
            pen += glyphAdvance;
            clusterAdvance[cluster - start] += glyphAdvance;
            clusterStart[cluster] = 1;
        }
        // Share each cluster's advance among its code points, marks excepted, so a caret can
        // stand inside a ligature.
        for (size_t i = start; i < end;) {
            size_t next = i + 1;
            while (next < end && !clusterStart[next])
                ++next;
            std::vector<size_t> bases;
            for (size_t k = i; k < next; ++k)
                if (!mark[k])
                    bases.push_back(k);
            if (bases.empty())
                bases.push_back(i);
            const int total = clusterAdvance[i - start];
            const int share = total / int(bases.size());
            int extra = total - share * int(bases.size());
            for (size_t k : bases)
                advance[k] = share + (extra-- > 0 ? 1 : 0);
            i = next;
        }
        const bool rtl = direction == HB_DIRECTION_RTL;
        int x = rtl ? runX + pen : runX;
        for (size_t i = start; i < end; ++i) {
            out.rightToLeft[i] = rtl;
            if (rtl) {
                out.cellRight[i] = x;
                x -= advance[i];
                out.cellLeft[i] = x;
            } else {
                out.cellLeft[i] = x;
                x += advance[i];
                out.cellRight[i] = x;
            }
        }
        runX += pen;
    }
    out.width = runX;
    return out;
}

// [SECTION] Drawing

void FreeTypeFont::draw(const ShapedText& text, BgrSurface& surface, int left, int baseline, const IntRect& clip,
                        const GlyphPaint& paint)
{
    const IntRect bounds = clip.intersect({ 0, 0, surface.width(), surface.height() });
    if (bounds.empty())
        return;
    for (const ShapedGlyph& glyph : text.glyphs) {
        const bool selected = glyph.cluster >= paint.selectionStart && glyph.cluster < paint.selectionEnd;
        drawGlyph(glyph, surface, left, baseline, bounds, selected ? paint.selected : paint.normal);
    }
}

void FreeTypeFont::drawGlyph(const ShapedGlyph& glyph, BgrSurface& surface, int left, int baseline,
                             const IntRect& clip, Bgr color)
{
    if (glyph.face >= faces.size())
        return;
    FT_Face face = faces[glyph.face].face;
    if (FT_Load_Glyph(face, glyph.glyph, loadFlags) != 0 || FT_Render_Glyph(face->glyph, renderMode) != 0)
        return;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const int x0 = left + glyph.x + face->glyph->bitmap_left;
    const int y0 = baseline + glyph.y - face->glyph->bitmap_top;
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        return;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int y = y0 + int(row);
        if (y < clip.y0 || y >= clip.y1)
            continue;
        const unsigned char* bits = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        for (unsigned column = 0; column < bitmap.width; ++column) {
            const int x = x0 + int(column);
            if (x < clip.x0 || x >= clip.x1)
                continue;
            const unsigned coverage = mono ? ((bits[column >> 3] >> (7 - (column & 7))) & 1) * 255 : bits[column];
            if (coverage)
                surface.blend(x, y, color, coverage);
        }
    }
}

} // namespace orvex::gui
