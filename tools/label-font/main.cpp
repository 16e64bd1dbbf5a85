// velbrin-label-font: builds the label font from a TrueType face: a 512 x 512 RGB multi-channel
// signed distance field atlas (8 texels of distance range) and the 128-entry glyph table of the
// chart labels, written as a C++ source that the icicle library compiles in.
//   velbrin-label-font FONT.ttf OUTPUT.cpp [--png ATLAS.png]
// Output depends only on the face: no clock, no randomness, no address-dependent order.
#include "LabelFontWriter.h"
#include "icicle/glyphs/AtlasPacker.h"
#include "icicle/glyphs/EdgeColoring.h"
#include "icicle/glyphs/GlyphCell.h"
#include "icicle/glyphs/MsdfRasterizer.h"
#include "icicle/glyphs/freetype/FreeTypeOutline.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace orvex::glyphs;

// [SECTION] Layout of the label lines, in text units

// Distance range, texels per em, padding, gutter and the name line's zero: icicle/glyphs/GlyphCell.h.
constexpr int atlasSize = 512;

// The size line's digits are 0.2085 wide (the name line's zero is nameZeroAdvance), so both lines
// use the face's own digit spacing.
constexpr double sizeDigitAdvance = 0.2085;
constexpr double nameBaseline = 0.0;   // the name sits on the centre line
constexpr double sizeBaseline = -0.446; // digits span about -0.474 to -0.18 with padding

struct SizeGlyph {
    int code;
    char character;
    double advance;
};

// Size-line glyphs: smaller copies of name-line images with the fixed advances the size text
// width is computed from.
const SizeGlyph sizeGlyphs[] = {
    {1, '1', 0.2085},    {2, '2', 0.2085},     {3, '3', 0.2085},     {4, '4', 0.2085},
    {5, '5', 0.2085},    {6, '6', 0.2085},     {7, '7', 0.2085},     {8, '8', 0.2085},
    {11, '9', 0.2085},   {12, '0', 0.2085},    {14, '.', 0.09375},   {15, '-', 0.12488},
    {17, 'k', 0.2115},   {18, 'M', 0.32625},   {19, 'G', 0.28837},   {20, 'T', 0.2415},
    {21, 'P', 0.25387},  {22, 'E', 0.24938},   {23, 'Z', 0.228},     {24, 'Y', 0.24113},
    {25, 'R', 0.27075},  {26, 'Q', 0.29325},   {29, 'B', 0.264},
};
constexpr double spacerAdvance = 0.10425; // codes 9 and 10
constexpr double ellipsisAdvance = 0.46875;
constexpr double replacementAdvance = 0.5;

// [SECTION] Atlas glyphs

struct AtlasGlyph {
    unsigned codepoint = 0;
    Outline outline;
    double advance = 0;        // em
    double planeLeft = 0;      // em from the pen and the baseline, texel-centre convention
    double planeBottom = 0;
    double planeRight = 0;
    double planeTop = 0;
    Vec2 origin;               // em point of the box's bottom-left corner
    int box = -1;              // index into the packer's boxes, -1 when the glyph has no ink
};

struct Generator {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::vector<AtlasGlyph> glyphs; // ASCII 32-126, then the ellipsis and the replacement mark
    std::vector<AtlasPacker::Box> boxes;
    std::vector<uint8_t> atlas = std::vector<uint8_t>(size_t(atlasSize) * atlasSize * 3, 0);
    std::vector<float> table = std::vector<float>(128 * 9, 0.0f);
    std::vector<std::string> names = std::vector<std::string>(128, "empty");
    int usedRows = 0;
    int signFixes = 0;
    int clashFixes = 0;

    ~Generator()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }

    const AtlasGlyph* find(unsigned codepoint) const
    {
        for (const AtlasGlyph& glyph : glyphs)
            if (glyph.codepoint == codepoint)
                return &glyph;
        return nullptr;
    }

    bool open(const char* path, std::string& error);
    bool loadGlyphs(std::string& error);
    bool buildAtlas(std::string& error);
    void buildTable();
    void setEntry(int code, const AtlasGlyph& glyph, double scale, double xOffset, double baseline, double advance,
                  const std::string& name);
};

bool Generator::open(const char* path, std::string& error)
{
    if (FT_Init_FreeType(&library)) {
        error = "FT_Init_FreeType failed";
        return false;
    }
    if (FT_Error e = FT_New_Face(library, path, 0, &face)) {
        error = std::string("cannot open the face ") + path + ": " + describeFreeTypeError(e);
        return false;
    }
    if (!FT_IS_SCALABLE(face)) {
        error = std::string(path) + " is not a scalable face";
        return false;
    }
    return true;
}

bool Generator::loadGlyphs(std::string& error)
{
    std::vector<unsigned> codepoints;
    for (unsigned c = 32; c <= 126; ++c)
        codepoints.push_back(c);
    codepoints.push_back(0x2026);
    // The replacement mark falls back to the question mark's image on a face without U+FFFD.
    if (FT_Get_Char_Index(face, 0xFFFD))
        codepoints.push_back(0xFFFD);
    const double upem = face->units_per_EM;
    for (unsigned codepoint : codepoints) {
        AtlasGlyph glyph;
        glyph.codepoint = codepoint;
        if (!loadOutline(face, codepoint, glyph.outline, error))
            return false;
        glyph.advance = double(face->glyph->advance.x) / upem;
        if (!glyph.outline.empty()) {
            EdgeColoring::colorSimple(glyph.outline);
            const GlyphCell cell = glyphCell(glyph.outline);
            AtlasPacker::Box box;
            box.width = cell.width;
            box.height = cell.height;
            glyph.origin = cell.origin;
            glyph.planeLeft = cell.planeLeft;
            glyph.planeRight = cell.planeRight;
            glyph.planeBottom = cell.planeBottom;
            glyph.planeTop = cell.planeTop;
            glyph.box = int(boxes.size());
            boxes.push_back(box);
        }
        glyphs.push_back(std::move(glyph));
    }
    return true;
}

bool Generator::buildAtlas(std::string& error)
{
    AtlasPacker packer(atlasSize, gutter);
    if (!packer.pack(boxes)) {
        error = "the glyphs do not fit a " + std::to_string(atlasSize) + " atlas at " +
                std::to_string(texelsPerEm) + " texels per em";
        return false;
    }
    usedRows = packer.usedRows();
    MsdfRasterizer rasterizer(texelsPerEm, distanceRange);
    std::vector<uint8_t> texels;
    for (const AtlasGlyph& glyph : glyphs) {
        if (glyph.box < 0)
            continue;
        const AtlasPacker::Box& box = boxes[size_t(glyph.box)];
        rasterizer.generate(glyph.outline, glyph.origin, box.width, box.height, texels);
        for (int j = 0; j < box.height; ++j)
            std::memcpy(&atlas[(size_t(box.y + j) * atlasSize + size_t(box.x)) * 3], &texels[size_t(j) * box.width * 3],
                        size_t(box.width) * 3);
    }
    signFixes = rasterizer.signFixes();
    clashFixes = rasterizer.clashFixes();
    return true;
}

// [SECTION] Glyph table

void Generator::setEntry(int code, const AtlasGlyph& glyph, double scale, double xOffset, double baseline,
                         double advance, const std::string& name)
{
    float* entry = &table[size_t(code) * 9];
    if (glyph.box >= 0) {
        const AtlasPacker::Box& box = boxes[size_t(glyph.box)];
        entry[0] = float(glyph.planeLeft * scale + xOffset);
        entry[1] = float(glyph.planeBottom * scale + baseline);
        entry[2] = float(glyph.planeRight * scale + xOffset);
        entry[3] = float(glyph.planeTop * scale + baseline);
        entry[4] = float((box.x + 0.5) / atlasSize);
        entry[5] = float((box.y + 0.5) / atlasSize);
        entry[6] = float((box.x + box.width - 0.5) / atlasSize);
        entry[7] = float((box.y + box.height - 0.5) / atlasSize);
    }
    entry[8] = float(advance);
    names[size_t(code)] = name;
}

std::string characterName(char c)
{
    // A backslash at the end of a comment line would continue the comment onto the next line.
    return c == '\\' ? "backslash" : std::string("'") + c + "'";
}

void Generator::buildTable()
{
    const double zeroAdvance = find('0')->advance;
    const double nameScale = nameZeroAdvance / zeroAdvance;
    const double sizeScale = sizeDigitAdvance / zeroAdvance;

    for (unsigned c = 32; c <= 126; ++c) {
        const AtlasGlyph& glyph = *find(c);
        setEntry(int(c), glyph, nameScale, 0, nameBaseline, glyph.advance * nameScale,
                 c == 32 ? "space" : characterName(char(c)));
    }
    // Glyphs with a fixed advance are centred in it, keeping the face's proportions.
    auto centred = [](const AtlasGlyph& glyph, double scale, double advance) {
        return (advance - glyph.advance * scale) / 2;
    };
    const AtlasGlyph& ellipsis = *find(0x2026);
    setEntry(30, ellipsis, nameScale, centred(ellipsis, nameScale, ellipsisAdvance), nameBaseline, ellipsisAdvance,
             "ellipsis");
    const AtlasGlyph* replacement = find(0xFFFD);
    if (!replacement)
        replacement = find('?');
    setEntry(31, *replacement, nameScale, centred(*replacement, nameScale, replacementAdvance), nameBaseline,
             replacementAdvance, "replacement mark");
    for (const SizeGlyph& size : sizeGlyphs) {
        const AtlasGlyph& glyph = *find(unsigned(size.character));
        setEntry(size.code, glyph, sizeScale, centred(glyph, sizeScale, size.advance), sizeBaseline, size.advance,
                 "size " + characterName(size.character));
    }
    table[9 * 9 + 8] = table[10 * 9 + 8] = float(spacerAdvance);
    names[9] = names[10] = "spacer";
}

} // namespace

int main(int argc, char** argv)
{
    const char* fontPath = nullptr;
    const char* outputPath = nullptr;
    const char* pngPath = nullptr;
    bool usable = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc)
            pngPath = argv[++i];
        else if (!fontPath)
            fontPath = argv[i];
        else if (!outputPath)
            outputPath = argv[i];
        else
            usable = false;
    }
    if (!usable || !fontPath || (!outputPath && !pngPath)) {
        std::fprintf(stderr, "usage: velbrin-label-font FONT.ttf [OUTPUT.cpp] [--png ATLAS.png]\n");
        return 2;
    }

    Generator generator;
    std::string error;
    if (!generator.open(fontPath, error) || !generator.loadGlyphs(error) || !generator.buildAtlas(error)) {
        std::fprintf(stderr, "velbrin-label-font: %s\n", error.c_str());
        return 1;
    }
    generator.buildTable();
    if (outputPath &&
        !LabelFontWriter::writeSource(outputPath, generator.atlas, atlasSize, generator.table, generator.names, error)) {
        std::fprintf(stderr, "velbrin-label-font: %s\n", error.c_str());
        return 1;
    }
    if (pngPath && !LabelFontWriter::writePng(pngPath, generator.atlas, atlasSize, error)) {
        std::fprintf(stderr, "velbrin-label-font: %s\n", error.c_str());
        return 1;
    }
    std::printf("velbrin-label-font: %zu atlas glyphs in %d of %d rows; %d texels sign-corrected, %d clash-corrected\n",
                generator.boxes.size(), generator.usedRows, atlasSize, generator.signFixes, generator.clashFixes);
    return 0;
}
