// FontconfigGlyphSource: the glyph page's Linux source. fontconfig picks each character's face as
// the native text engine's per-character fallback does (the best match for a regular upright
// "DejaVu Sans" that has the character), FreeType reads the unscaled outline.
#include "icicle/glyphs/GlyphSource.h"
#include "icicle/glyphs/freetype/FreeTypeOutline.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace orvex::glyphs {

namespace {

const char* const labelFamily = "DejaVu Sans";

// fontconfig's answers for the process, under one lock (its configuration is shared and the
// cache is ours).
struct FaceCache {
    std::mutex mutex;
    bool initialized = false;
    bool usable = false;
    std::unordered_map<char32_t, GlyphFace> faces;
    GlyphFace labelFace;
    FcCharSet* labelCharacters = nullptr; // the label face's, owned; never freed (lives with the process)
};

FaceCache& cache()
{
    static FaceCache instance;
    return instance;
}

// The best match for the label family with `character` (0: any character), empty when the match
// lacks it; with no character, `characters` receives a copy of the face's character set.
// Called with the cache's lock held.
GlyphFace match(char32_t character, FcCharSet** characters = nullptr)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(labelFamily));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcCharSet* wanted = nullptr;
    if (character != 0) {
        wanted = FcCharSetCreate();
        FcCharSetAddChar(wanted, character);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    GlyphFace face;
    if (FcPattern* found = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* path = nullptr;
        FcCharSet* has = nullptr;
        const bool covers = character == 0 || (FcPatternGetCharSet(found, FC_CHARSET, 0, &has) == FcResultMatch &&
                                               FcCharSetHasChar(has, character));
        if (covers && FcPatternGetString(found, FC_FILE, 0, &path) == FcResultMatch && path) {
            face.file = reinterpret_cast<const char*>(path);
            FcPatternGetInteger(found, FC_INDEX, 0, &face.index);
            if (characters && FcPatternGetCharSet(found, FC_CHARSET, 0, &has) == FcResultMatch)
                *characters = FcCharSetCopy(has);
        }
        FcPatternDestroy(found);
    }
    if (wanted)
        FcCharSetDestroy(wanted);
    FcPatternDestroy(pattern);
    return face;
}

// Called with the cache's lock held.
bool ensureInitialized(FaceCache& state)
{
    if (!state.initialized) {
        state.initialized = true;
        state.usable = FcInit();
        if (state.usable)
            state.labelFace = match(0, &state.labelCharacters);
    }
    return state.usable;
}

// The faces one call opens, each once, closed with the call's library.
class FaceSet {
public:
    FaceSet() { FT_Init_FreeType(&m_library); }
    ~FaceSet()
    {
        for (auto& [key, face] : m_faces)
            if (face)
                FT_Done_Face(face);
        if (m_library)
            FT_Done_FreeType(m_library);
    }
    FaceSet(const FaceSet&) = delete;
    FaceSet& operator=(const FaceSet&) = delete;

    // Null when the file cannot be opened or is not scalable.
    FT_Face open(const GlyphFace& file)
    {
        if (!m_library || file.file.empty())
            return nullptr;
        auto key = std::make_pair(file.file, file.index);
        if (auto known = m_faces.find(key); known != m_faces.end())
            return known->second;
        FT_Face face = nullptr;
        if (FT_New_Face(m_library, file.file.c_str(), file.index, &face) != 0)
            face = nullptr;
        if (face && !FT_IS_SCALABLE(face)) {
            FT_Done_Face(face);
            face = nullptr;
        }
        m_faces.emplace(key, face);
        return face;
    }

private:
    FT_Library m_library = nullptr;
    std::map<std::pair<std::string, int>, FT_Face> m_faces;
};

double zeroAdvance(FT_Face face)
{
    FT_UInt index = face ? FT_Get_Char_Index(face, '0') : 0;
    if (!index || FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE) != 0)
        return 0;
    return double(face->glyph->advance.x) / face->units_per_EM;
}

} // namespace

GlyphFace sourceFace(char32_t character)
{
    FaceCache& state = cache();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!ensureInitialized(state))
        return {};
    // fontconfig ranks coverage of the character above the family, so the label face is the best
    // match for every character it has; asking only for the others saves a match each.
    if (state.labelCharacters && FcCharSetHasChar(state.labelCharacters, character))
        return state.labelFace;
    auto known = state.faces.find(character);
    if (known == state.faces.end())
        known = state.faces.emplace(character, match(character)).first;
    return known->second;
}

SourceGlyphs loadSourceGlyphs(const std::vector<char32_t>& characters, size_t limit)
{
    SourceGlyphs out;
    GlyphFace labelFace;
    {
        FaceCache& state = cache();
        std::lock_guard<std::mutex> lock(state.mutex);
        if (!ensureInitialized(state))
            return out;
        labelFace = state.labelFace;
    }
    FaceSet faces;
    out.labelZeroAdvance = zeroAdvance(faces.open(labelFace));
    std::string error;
    for (char32_t character : characters) {
        if (out.glyphs.size() >= limit)
            break;
        FT_Face face = faces.open(sourceFace(character));
        if (!face)
            continue;
        SourceGlyph glyph;
        glyph.character = character;
        // A face without an outline for it (a bitmap or colour glyph) leaves the character out.
        if (!loadOutline(face, unsigned(character), glyph.outline, error))
            continue;
        glyph.advance = double(face->glyph->advance.x) / face->units_per_EM;
        out.glyphs.push_back(std::move(glyph));
    }
    return out;
}

} // namespace orvex::glyphs
