// FreeTypeFontEngine: the Linux font engine. fontconfig picks faces (the default family is its
// match for "sans-serif", standing in for the system's user-interface font), FreeType opens them,
// libunibreak (UAX #14) tells where lines may break.
#include "gui/text/freetype/FreeTypeFont.h"

#include <linebreak.h>

#include <mutex>

namespace orvex::gui {

UniquePtr<FontEngine> createFontEngine()
{
    return UniquePtr<FontEngine>(FreeTypeFontEngine::create().release());
}

UniquePtr<FreeTypeFontEngine> FreeTypeFontEngine::create()
{
    if (!FcInit())
        return nullptr;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return nullptr;
    return UniquePtr<FreeTypeFontEngine>(new FreeTypeFontEngine(library));
}

FreeTypeFontEngine::~FreeTypeFontEngine() { FT_Done_FreeType(freetype); }

UniquePtr<Font> FreeTypeFontEngine::createFont(const FontDescription& spec)
{
    return UniquePtr<Font>(FreeTypeFont::create(*this, spec).release());
}

std::vector<uint8_t> FreeTypeFontEngine::breakOpportunities(std::u32string_view paragraph)
{
    static std::once_flag initialized;
    std::call_once(initialized, init_linebreak);
    std::vector<uint8_t> before(paragraph.size(), 0);
    if (paragraph.size() < 2)
        return before;
    static_assert(sizeof(utf32_t) == sizeof(char32_t));
    std::vector<char> after(paragraph.size());
    set_linebreaks_utf32(reinterpret_cast<const utf32_t*>(paragraph.data()), paragraph.size(), "", after.data());
    // libunibreak answers "after code point i"; a mandatory break inside a paragraph (a lone
    // carriage return, a form feed) is taken as an opportunity: only line feeds end paragraphs.
    for (size_t i = 1; i < paragraph.size(); ++i)
        before[i] = after[i - 1] == LINEBREAK_ALLOWBREAK || after[i - 1] == LINEBREAK_MUSTBREAK;
    return before;
}

// [SECTION] fontconfig

const std::string& FreeTypeFontEngine::defaultFamily()
{
    static const std::string family = [] {
        std::string name = "sans-serif";
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
        if (!pattern)
            return name;
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* found = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* value = nullptr;
            if (FcPatternGetString(found, FC_FAMILY, 0, &value) == FcResultMatch && value)
                name = reinterpret_cast<const char*>(value);
            FcPatternDestroy(found);
        }
        FcPatternDestroy(pattern);
        return name;
    }();
    return family;
}

FcPattern* FreeTypeFontEngine::basePattern(const std::string& family, int weight, bool italic)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    return pattern;
}

std::optional<FreeTypeFontEngine::FaceFile> FreeTypeFontEngine::match(const FcPattern* base, char32_t character)
{
    FcPattern* pattern = FcPatternDuplicate(base);
    FcCharSet* wanted = nullptr;
    if (character != 0) {
        wanted = FcCharSetCreate();
        FcCharSetAddChar(wanted, character);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &result);
    std::optional<FaceFile> file;
    if (found) {
        FcChar8* path = nullptr;
        int index = 0;
        FcCharSet* has = nullptr;
        const bool covers = character == 0 ||
                            (FcPatternGetCharSet(found, FC_CHARSET, 0, &has) == FcResultMatch &&
                             FcCharSetHasChar(has, character));
        if (covers && FcPatternGetString(found, FC_FILE, 0, &path) == FcResultMatch && path) {
            FcPatternGetInteger(found, FC_INDEX, 0, &index);
            file = FaceFile { reinterpret_cast<const char*>(path), index };
        }
        FcPatternDestroy(found);
    }
    if (wanted)
        FcCharSetDestroy(wanted);
    FcPatternDestroy(pattern);
    return file;
}

} // namespace orvex::gui
