// The generated label font: glyphs rebuilt on the CPU from the atlas and the glyph table the way the
// label fragment shader does it (bilinear sampling, median, screen-space pixel range) compared with
// FreeType's own antialiased rendering of the face, plus the table's fixed rows and atlas layout.
#include "icicle/GlyphAdvances.h"
#include "icicle/LabelFont.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Entry {
    float planeLeft, planeBottom, planeRight, planeTop;
    float atlasLeft, atlasBottom, atlasRight, atlasTop;
    float advance;

    bool drawn() const { return planeLeft < planeRight; }
};

const Entry& entry(int code) { return reinterpret_cast<const Entry*>(labelGlyphTable)[code]; }

float median(float a, float b, float c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// GL_LINEAR with GL_REPEAT on the RGB8 atlas, then the median of the three channels.
float sampleMedian(double u, double v)
{
    const int n = labelAtlasSize;
    double s = u * n - 0.5, t = v * n - 0.5;
    int i0 = int(std::floor(s)), j0 = int(std::floor(t));
    double fs = s - i0, ft = t - j0;
    float rgb[3];
    for (int c = 0; c < 3; ++c) {
        auto texel = [&](int i, int j) {
            i = ((i % n) + n) % n;
            j = ((j % n) + n) % n;
            return labelAtlas[(size_t(j) * n + i) * 3 + c] / 255.0;
        };
        double bottom = texel(i0, j0) * (1 - fs) + texel(i0 + 1, j0) * fs;
        double top = texel(i0, j0 + 1) * (1 - fs) + texel(i0 + 1, j0 + 1) * fs;
        rgb[c] = float(bottom * (1 - ft) + top * ft);
    }
    return median(rgb[0], rgb[1], rgb[2]);
}

// Coverage of the label shader without supersampling at a point in text units from the pen and the
// centre line, for glyph `g` drawn at `pixelsPerUnit` screen pixels per text unit.
double coverage(const Entry& g, double x, double y, double pixelsPerUnit)
{
    if (x < g.planeLeft || x > g.planeRight || y < g.planeBottom || y > g.planeTop)
        return 0;
    double fx = (x - g.planeLeft) / (g.planeRight - g.planeLeft);
    double fy = (y - g.planeBottom) / (g.planeTop - g.planeBottom);
    double u = g.atlasLeft + fx * (g.atlasRight - g.atlasLeft);
    double v = g.atlasBottom + fy * (g.atlasTop - g.atlasBottom);
    double screenPerAtlas = (g.planeRight - g.planeLeft) * pixelsPerUnit / ((g.atlasRight - g.atlasLeft) * labelAtlasSize);
    double range = std::max(double(labelDistanceRange) * screenPerAtlas, 1.0);
    return std::clamp(range * (sampleMedian(u, v) - 0.5) + 0.5, 0.0, 1.0);
}

struct Comparison {
    double iou = 1;     // thresholded at 0.5
    double softIou = 1; // sum of minima over sum of maxima
    int grossPixels = 0; // coverage off by more than 0.5
};

class LabelFontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
        ASSERT_EQ(FT_New_Face(library, VELBRIN_LABEL_FONT, 0, &face), 0) << VELBRIN_LABEL_FONT;
    }
    static void TearDownTestSuite()
    {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }

    static double designAdvance(unsigned codepoint)
    {
        FT_Fixed advance = 0;
        FT_Get_Advance(face, FT_Get_Char_Index(face, codepoint), FT_LOAD_NO_SCALE, &advance);
        return double(advance) / face->units_per_EM;
    }

    // Text units per em of the name line, from the zero's advance.
    static double nameScale() { return glyphAdvances[uint8_t('0')] / designAdvance('0'); }

    // Glyph `code` rebuilt from the atlas against FreeType's unhinted rendering of `codepoint` at
    // `pixelsPerEm`, over the reference bitmap with a 2-pixel frame and the whole plane rectangle.
    static Comparison compare(int code, unsigned codepoint, int pixelsPerEm)
    {
        const Entry& g = entry(code);
        const double k = nameScale();
        // Glyphs with a fixed advance are centred in it.
        const double xOffset = code < 32 ? (g.advance - designAdvance(codepoint) * k) / 2 : 0;
        EXPECT_EQ(FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelsPerEm)), 0);
        EXPECT_EQ(FT_Load_Char(face, codepoint, FT_LOAD_NO_HINTING | FT_LOAD_RENDER), 0);
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const double P = pixelsPerEm;
        // Pixel column c samples em x (left + c + ½) / P; row r (top-down) samples (top - r - ½) / P.
        const int left = slot->bitmap_left, top = slot->bitmap_top;
        int c0 = -2, c1 = int(bitmap.width) + 2, r0 = -2, r1 = int(bitmap.rows) + 2;
        c0 = std::min(c0, int(std::floor((g.planeLeft - xOffset) / k * P)) - left - 1);
        c1 = std::max(c1, int(std::ceil((g.planeRight - xOffset) / k * P)) - left + 1);
        r0 = std::min(r0, top - int(std::ceil(g.planeTop / k * P)) - 1);
        r1 = std::max(r1, top - int(std::floor(g.planeBottom / k * P)) + 1);

        double intersection = 0, unionCount = 0, minSum = 0, maxSum = 0;
        Comparison result;
        for (int r = r0; r < r1; ++r)
            for (int c = c0; c < c1; ++c) {
                double reference = 0;
                if (r >= 0 && c >= 0 && r < int(bitmap.rows) && c < int(bitmap.width))
                    reference = bitmap.buffer[r * bitmap.pitch + c] / 255.0;
                double x = (left + c + 0.5) / P * k + xOffset, y = (top - r - 0.5) / P * k;
                double rebuilt = coverage(g, x, y, P / k);
                bool a = reference >= 0.5, b = rebuilt >= 0.5;
                intersection += a && b;
                unionCount += a || b;
                minSum += std::min(reference, rebuilt);
                maxSum += std::max(reference, rebuilt);
                result.grossPixels += std::fabs(reference - rebuilt) > 0.5;
            }
        result.iou = unionCount > 0 ? intersection / unionCount : 1;
        result.softIou = maxSum > 0 ? minSum / maxSum : 1;
        return result;
    }

    struct Drawn {
        int code;
        unsigned codepoint;
    };

    // Every glyph with its own atlas image: printable ASCII, the ellipsis, the replacement mark.
    static std::vector<Drawn> atlasGlyphs()
    {
        std::vector<Drawn> glyphs;
        for (int c = 33; c <= 126; ++c)
            glyphs.push_back({c, unsigned(c)});
        glyphs.push_back({30, 0x2026});
        glyphs.push_back({31, 0xFFFD});
        return glyphs;
    }

    static FT_Library library;
    static FT_Face face;
};

FT_Library LabelFontTest::library = nullptr;
FT_Face LabelFontTest::face = nullptr;

std::string glyphName(int code)
{
    return code >= 33 ? std::string("'") + char(code) + "'" : "code " + std::to_string(code);
}

TEST_F(LabelFontTest, RebuiltGlyphsMatchTheFaceFrom32To128PixelsPerEm)
{
    for (int pixelsPerEm : {32, 48, 64, 96, 128}) {
        double iouSum = 0, worstIou = 1, worstSoft = 1;
        int worstCode = 0;
        std::vector<Drawn> glyphs = atlasGlyphs();
        for (const Drawn& glyph : glyphs) {
            Comparison result = compare(glyph.code, glyph.codepoint, pixelsPerEm);
            iouSum += result.iou;
            if (result.iou < worstIou)
                worstIou = result.iou, worstCode = glyph.code;
            worstSoft = std::min(worstSoft, result.softIou);
            // Thresholding is a coin toss where an edge passes exactly through pixel centres, so
            // each glyph is held to the soft overlap; the thresholded one is gated on the mean.
            EXPECT_GE(result.softIou, 0.93) << glyphName(glyph.code) << " at " << pixelsPerEm << " px/em";
            EXPECT_GE(result.iou, 0.85) << glyphName(glyph.code) << " at " << pixelsPerEm << " px/em";
        }
        double mean = iouSum / double(glyphs.size());
        EXPECT_GE(mean, 0.98) << pixelsPerEm << " px/em";
        std::printf("%3d px/em: IoU mean %.4f, worst %.4f (%s); soft IoU worst %.4f\n", pixelsPerEm, mean, worstIou,
                    glyphName(worstCode).c_str(), worstSoft);
    }
}

TEST_F(LabelFontTest, MagnifiedCornersStaySharp)
{
    // A single-channel field rounds corners: hundreds of pixels off by more than half at these sizes.
    for (int pixelsPerEm : {128, 256}) {
        int total = 0;
        for (const Drawn& glyph : atlasGlyphs()) {
            int gross = compare(glyph.code, glyph.codepoint, pixelsPerEm).grossPixels;
            EXPECT_EQ(gross, 0) << glyphName(glyph.code) << " at " << pixelsPerEm << " px/em";
            total += gross;
        }
        std::printf("%3d px/em: %d pixels off by more than 0.5\n", pixelsPerEm, total);
    }
}

TEST_F(LabelFontTest, FixedRowsKeepTheirAdvancesAndEmptyGlyphsDrawNothing)
{
    struct Row { int code; float advance; bool drawn; };
    const Row rows[] = {
        {0, 0.0f, false},      {13, 0.0f, false},     {16, 0.0f, false},     {27, 0.0f, false},
        {28, 0.0f, false},     {127, 0.0f, false},    {9, 0.10425f, false},  {10, 0.10425f, false},
        {1, 0.2085f, true},    {8, 0.2085f, true},    {11, 0.2085f, true},   {12, 0.2085f, true},
        {14, 0.09375f, true},  {15, 0.12488f, true},  {17, 0.2115f, true},   {18, 0.32625f, true},
        {19, 0.28837f, true},  {20, 0.2415f, true},   {21, 0.25387f, true},  {22, 0.24938f, true},
        {23, 0.228f, true},    {24, 0.24113f, true},  {25, 0.27075f, true},  {26, 0.29325f, true},
        {29, 0.264f, true},    {30, 0.46875f, true},  {31, 0.5f, true},      {32, glyphAdvances[32], false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(entry(row.code).advance, row.advance) << row.code;
        EXPECT_EQ(entry(row.code).drawn(), row.drawn) << row.code;
    }
    EXPECT_EQ(entry('0').advance, 0.3475f);
    // Label widths are measured with glyphAdvances; the GPU moves the pen by the table's column.
    for (int code = 0; code < 128; ++code)
        EXPECT_EQ(glyphAdvances[code], entry(code).advance) << code;
}

TEST_F(LabelFontTest, SizeLineGlyphsAreSmallerCopiesBelowTheCentreLine)
{
    const std::string characters = "12345678??90?.-?kMGTPEZYRQ??B";
    const double ratio = 0.2085 / 0.3475; // size digit over name digit
    for (int code = 1; code <= 29; ++code) {
        char character = characters[size_t(code - 1)];
        if (character == '?')
            continue;
        const Entry& small = entry(code);
        const Entry& name = entry(uint8_t(character));
        SCOPED_TRACE(std::string("size line ") + character);
        // The same atlas image, no cell of its own.
        EXPECT_EQ(small.atlasLeft, name.atlasLeft);
        EXPECT_EQ(small.atlasBottom, name.atlasBottom);
        EXPECT_EQ(small.atlasRight, name.atlasRight);
        EXPECT_EQ(small.atlasTop, name.atlasTop);
        // Scaled uniformly: a stretched copy would distort the glyph and its pixel range.
        EXPECT_NEAR((small.planeRight - small.planeLeft) / (name.planeRight - name.planeLeft), ratio, 1e-5);
        EXPECT_NEAR((small.planeTop - small.planeBottom) / (name.planeTop - name.planeBottom), ratio, 1e-5);
        EXPECT_LE(small.planeTop, -0.17f);
        EXPECT_GE(small.planeBottom, -0.53f);
    }
    for (int code = 30; code <= 126; ++code) {
        if (!entry(code).drawn())
            continue;
        EXPECT_GE(entry(code).planeBottom, -0.18f) << glyphName(code);
        EXPECT_LE(entry(code).planeTop, 0.54f) << glyphName(code);
    }
    // Name-line letters without descenders stand on the centre line.
    for (char c : std::string("HIxm")) {
        EXPECT_LT(entry(uint8_t(c)).planeBottom, 0.0f) << c;
        EXPECT_GT(entry(uint8_t(c)).planeBottom, -0.05f) << c;
    }
}

TEST_F(LabelFontTest, AtlasRectanglesAreInsideDisjointAndEmptyAtTheirCorners)
{
    struct Rect { float left, bottom, right, top; int code; };
    std::vector<Rect> rects;
    double unitsPerTexel = -1;
    for (int code = 30; code < 127; ++code) {
        const Entry& g = entry(code);
        if (!g.drawn())
            continue;
        rects.push_back({g.atlasLeft, g.atlasBottom, g.atlasRight, g.atlasTop, code});
        EXPECT_GE(g.atlasLeft, 0.0f) << glyphName(code);
        EXPECT_GE(g.atlasBottom, 0.0f) << glyphName(code);
        EXPECT_LE(g.atlasRight, 1.0f) << glyphName(code);
        EXPECT_LE(g.atlasTop, 1.0f) << glyphName(code);
        EXPECT_LT(g.atlasLeft, g.atlasRight) << glyphName(code);
        EXPECT_LT(g.atlasBottom, g.atlasTop) << glyphName(code);
        // One scale for every image: equal plane size per atlas texel across and along.
        double across = (g.planeRight - g.planeLeft) / ((g.atlasRight - g.atlasLeft) * labelAtlasSize);
        double along = (g.planeTop - g.planeBottom) / ((g.atlasTop - g.atlasBottom) * labelAtlasSize);
        if (unitsPerTexel < 0)
            unitsPerTexel = across;
        EXPECT_NEAR(across, unitsPerTexel, 1e-6) << glyphName(code);
        EXPECT_NEAR(along, unitsPerTexel, 1e-6) << glyphName(code);
        // The quad's corners read far outside, so nothing of a neighbour shows at its edge.
        for (double u : {g.atlasLeft, g.atlasRight})
            for (double v : {g.atlasBottom, g.atlasTop})
                EXPECT_LT(sampleMedian(u, v), 0.02f) << glyphName(code);
    }
    for (size_t a = 0; a < rects.size(); ++a)
        for (size_t b = a + 1; b < rects.size(); ++b) {
            const Rect &r = rects[a], &s = rects[b];
            bool overlap = r.left < s.right && s.left < r.right && r.bottom < s.top && s.bottom < r.top;
            EXPECT_FALSE(overlap) << glyphName(r.code) << " and " << glyphName(s.code);
        }
}

} // namespace
