// The run-time glyph page: glyphs rebuilt from the page the way the label fragment shader does it
// (bilinear sampling, median, screen-space pixel range) against FreeType's own rendering of the
// same character from the face the page picked, and which characters a page takes.
#include "icicle/GlyphAdvances.h"
#include "icicle/GlyphWarmer.h"
#include "icicle/glyphs/GlyphPage.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using orvex::GlyphPage;

struct Entry {
    float planeLeft, planeBottom, planeRight, planeTop;
    float atlasLeft, atlasBottom, atlasRight, atlasTop;
    float advance;
};

const Entry& entry(const GlyphPage& page, size_t i) { return reinterpret_cast<const Entry*>(page.table.data())[i]; }

float median(float a, float b, float c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// GL_LINEAR with GL_REPEAT on the page's RGB8 atlas, then the median of the three channels.
float sampleMedian(const GlyphPage& page, double u, double v)
{
    const int w = page.atlasWidth, h = page.atlasHeight;
    double s = u * w - 0.5, t = v * h - 0.5;
    int i0 = int(std::floor(s)), j0 = int(std::floor(t));
    double fs = s - i0, ft = t - j0;
    float rgb[3];
    for (int c = 0; c < 3; ++c) {
        auto texel = [&](int i, int j) {
            i = ((i % w) + w) % w;
            j = ((j % h) + h) % h;
            return page.atlas[(size_t(j) * size_t(w) + size_t(i)) * 3 + size_t(c)] / 255.0;
        };
        double bottom = texel(i0, j0) * (1 - fs) + texel(i0 + 1, j0) * fs;
        double top = texel(i0, j0 + 1) * (1 - fs) + texel(i0 + 1, j0 + 1) * fs;
        rgb[c] = float(bottom * (1 - ft) + top * ft);
    }
    return median(rgb[0], rgb[1], rgb[2]);
}

// The label shader's coverage at a point in text units from the pen and the centre line.
double coverage(const GlyphPage& page, const Entry& g, double x, double y, double pixelsPerUnit)
{
    if (x < g.planeLeft || x > g.planeRight || y < g.planeBottom || y > g.planeTop)
        return 0;
    double u = g.atlasLeft + (x - g.planeLeft) / (g.planeRight - g.planeLeft) * (g.atlasRight - g.atlasLeft);
    double v = g.atlasBottom + (y - g.planeBottom) / (g.planeTop - g.planeBottom) * (g.atlasTop - g.atlasBottom);
    double screenPerAtlas = (g.planeRight - g.planeLeft) * pixelsPerUnit / ((g.atlasRight - g.atlasLeft) * page.atlasWidth);
    double range = std::max(8.0 * screenPerAtlas, 1.0);
    return std::clamp(range * (sampleMedian(page, u, v) - 0.5) + 0.5, 0.0, 1.0);
}

struct Comparison {
    double iou = 1;     // thresholded at 0.5
    double softIou = 1; // sum of minima over sum of maxima
};

class FreeTypeFace {
public:
    explicit FreeTypeFace(const orvex::GlyphFace& file)
    {
        if (FT_Init_FreeType(&library) == 0 && FT_New_Face(library, file.file.c_str(), file.index, &face) != 0)
            face = nullptr;
    }
    ~FreeTypeFace()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

// Text units per em of the name line, from the built-in font's zero and the label face's.
double nameScale()
{
    FreeTypeFace label({VELBRIN_LABEL_FONT, 0});
    EXPECT_TRUE(label.face) << VELBRIN_LABEL_FONT;
    if (!label.face)
        return 1;
    FT_Load_Char(label.face, '0', FT_LOAD_NO_SCALE);
    return glyphAdvances[uint8_t('0')] / (double(label.face->glyph->advance.x) / label.face->units_per_EM);
}

// Page glyph `g` against FreeType's unhinted rendering of `character` at `pixelsPerEm`, over the
// reference bitmap with a 2-pixel frame and the whole plane rectangle.
Comparison compare(const GlyphPage& page, const Entry& g, FT_Face face, char32_t character, int pixelsPerEm, double k)
{
    EXPECT_EQ(FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelsPerEm)), 0);
    EXPECT_EQ(FT_Load_Char(face, character, FT_LOAD_NO_HINTING | FT_LOAD_RENDER), 0);
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const double P = pixelsPerEm;
    const int left = face->glyph->bitmap_left, top = face->glyph->bitmap_top;
    int c0 = std::min(-2, int(std::floor(g.planeLeft / k * P)) - left - 1);
    int c1 = std::max(int(bitmap.width) + 2, int(std::ceil(g.planeRight / k * P)) - left + 1);
    int r0 = std::min(-2, top - int(std::ceil(g.planeTop / k * P)) - 1);
    int r1 = std::max(int(bitmap.rows) + 2, top - int(std::floor(g.planeBottom / k * P)) + 1);
    double intersection = 0, unionCount = 0, minSum = 0, maxSum = 0;
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c) {
            double reference = 0;
            if (r >= 0 && c >= 0 && r < int(bitmap.rows) && c < int(bitmap.width))
                reference = bitmap.buffer[r * bitmap.pitch + c] / 255.0;
            double rebuilt = coverage(page, g, (left + c + 0.5) / P * k, (top - r - 0.5) / P * k, P / k);
            intersection += reference >= 0.5 && rebuilt >= 0.5;
            unionCount += reference >= 0.5 || rebuilt >= 0.5;
            minSum += std::min(reference, rebuilt);
            maxSum += std::max(reference, rebuilt);
        }
    return {unionCount > 0 ? intersection / unionCount : 1, maxSum > 0 ? minSum / maxSum : 1};
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

constexpr char32_t NO_FACE = 0xFDD0; // a noncharacter: no face maps it

TEST(GlyphPageTest, RebuiltGlyphsMatchTheirFaceAtTheLabelScale)
{
    struct Row {
        const char* name;
        char32_t character;
        const char* face; // the face file the system should pick
    };
    const Row rows[] = {
        {"Cyrillic zhe", 0x0416, "DejaVuSans.ttf"},
        {"Greek lambda", 0x03BB, "DejaVuSans.ttf"},
        {"CJK han", 0x6F22, "wqy-microhei.ttc"},
        {"Latin e acute", 0x00E9, "DejaVuSans.ttf"},
        {"combining acute", 0x0301, "DejaVuSans.ttf"},
    };
    std::vector<char32_t> wanted;
    for (const Row& row : rows)
        wanted.push_back(row.character);
    const GlyphPage page = orvex::buildGlyphPage(wanted);
    const double k = nameScale();
    int checked = 0;
    for (const Row& row : rows) {
        const orvex::GlyphFace face = orvex::glyphPageFace(row.character);
        std::printf("%-16s U+%04X from %s\n", row.name, unsigned(row.character), face.file.c_str());
        if (baseName(face.file) != row.face) {
            std::printf("  skipped: %s is not installed (picked '%s')\n", row.face, face.file.c_str());
            continue;
        }
        auto at = std::find(page.characters.begin(), page.characters.end(), row.character);
        ASSERT_NE(at, page.characters.end()) << row.name;
        const Entry& g = entry(page, size_t(at - page.characters.begin()));
        FreeTypeFace reference(face);
        ASSERT_TRUE(reference.face) << face.file;
        for (int pixelsPerEm : {32, 64, 128}) {
            const Comparison result = compare(page, g, reference.face, row.character, pixelsPerEm, k);
            std::printf("  %3d px/em: IoU %.4f, soft IoU %.4f\n", pixelsPerEm, result.iou, result.softIou);
            EXPECT_GE(result.softIou, 0.93) << row.name << " at " << pixelsPerEm << " px/em";
            EXPECT_GE(result.iou, 0.85) << row.name << " at " << pixelsPerEm << " px/em";
        }
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "none of the test faces is installed";
}

TEST(GlyphPageTest, LabelFaceGlyphsShareTheBuiltInMetrics)
{
    if (baseName(orvex::glyphPageFace(0x00E9).file) != "DejaVuSans.ttf")
        GTEST_SKIP() << "DejaVu Sans is not installed";
    const GlyphPage page = orvex::buildGlyphPage({0x00E9, 0x0301});
    ASSERT_EQ(page.characters.size(), 2u);
    // The accented letter moves the pen exactly as far as the built-in plain one.
    EXPECT_EQ(entry(page, 0).advance, glyphAdvances[uint8_t('e')]);
    // The mark keeps no advance and draws its ink over the character before the pen.
    EXPECT_EQ(entry(page, 1).advance, 0.0f);
    EXPECT_LT(entry(page, 1).planeRight, 0.05f);
    EXPECT_GT(entry(page, 1).planeBottom, 0.2f);
}

TEST(GlyphPageTest, TakesTheFirstDrawableDistinctCharactersUpToAPage)
{
    struct Row {
        const char* name;
        std::vector<char32_t> ranked;
    };
    std::vector<char32_t> many;
    for (char32_t c = 0x0410; c < 0x0450; ++c) // 64 Cyrillic letters
        many.push_back(c);
    many.insert(many.begin() + 3, NO_FACE);
    many.insert(many.begin() + 7, 0x0410); // a repeat
    for (char32_t c = 0x03B1; c <= 0x03C9; ++c) // 25 Greek
        many.push_back(c);
    for (char32_t c = 0x00C0; c <= 0x00FF; ++c) // 64 Latin-1 letters and signs
        many.push_back(c);
    const Row rows[] = {
        {"empty request", {}},
        {"only a character no face has", {NO_FACE}},
        {"a character no face has between two", {0x0416, NO_FACE, 0x03BB}},
        {"more than a page", many},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<char32_t> expected;
        for (char32_t c : row.ranked)
            if (c != NO_FACE && expected.size() < 128 && std::find(expected.begin(), expected.end(), c) == expected.end())
                expected.push_back(c);
        const GlyphPage page = orvex::buildGlyphPage(row.ranked);
        EXPECT_EQ(page.characters, expected);
        EXPECT_EQ(page.table.size(), expected.size() * 9);
        EXPECT_EQ(page.atlas.size(), size_t(page.atlasWidth) * size_t(page.atlasHeight) * 3);
        if (expected.empty()) {
            EXPECT_EQ(page.atlasWidth, 0);
            continue;
        }
        EXPECT_TRUE(page.atlasWidth == 512 || page.atlasWidth == 1024) << page.atlasWidth;
        EXPECT_EQ(page.atlasHeight % 64, 0) << page.atlasHeight;
        // A few characters take one shelf, not a square atlas.
        if (expected.size() <= 10) {
            EXPECT_LE(page.atlasHeight, 128);
        }
        for (size_t i = 0; i < expected.size(); ++i) {
            const Entry& g = entry(page, i);
            EXPECT_GE(g.atlasLeft, 0.0f);
            EXPECT_GE(g.atlasBottom, 0.0f);
            EXPECT_LE(g.atlasRight, 1.0f);
            EXPECT_LE(g.atlasTop, 1.0f);
        }
    }
}

} // namespace

// Glyphs are kept once drawn: a page built again from them is the same to the byte, and the warmer
// draws what a scan's names offer (only characters past ASCII, each once) before a chart asks.
TEST(GlyphPageTest, KeptAndWarmedGlyphsDrawAsFreshOnes)
{
    const std::vector<char32_t> armenian { 0x0531, 0x0532, 0x0533 };
    ASSERT_FALSE(orvex::glyphDrawn(0x0531)) << "another test drew it first";
    const orvex::GlyphPage fresh = orvex::buildGlyphPage(armenian);
    if (fresh.characters.empty())
        GTEST_SKIP() << "no face draws Armenian here";
    EXPECT_TRUE(orvex::glyphDrawn(0x0531));
    const orvex::GlyphPage kept = orvex::buildGlyphPage(armenian);
    EXPECT_EQ(kept.characters, fresh.characters);
    EXPECT_EQ(kept.table, fresh.table);
    EXPECT_EQ(kept.atlas, fresh.atlas);

    GlyphWarmer warmer;
    warmer.offer("plain ascii name");
    EXPECT_EQ(warmer.offered(), 0u);
    warmer.offer("\xE1\x83\x90\xE1\x83\x91 \xE1\x83\x90"); // Georgian a, b, a
    EXPECT_EQ(warmer.offered(), 2u);
    warmer.waitUntilDrawn();
    EXPECT_TRUE(orvex::glyphDrawn(0x10D0));
    EXPECT_TRUE(orvex::glyphDrawn(0x10D1));
}
