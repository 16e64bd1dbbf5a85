// The renderer's context-free parts: colour resolution by state, the mask-type table and the
// cropped mask cells, the scissor box, depth values, and the built-in font and mask images.
#include "gui/render/BasicGLRenderer.h"
#include "gui/render/BitmapFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace orvex;
using namespace orvex::gui;

namespace {

ColorSet colored(float red, float green, float blue)
{
    ColorSet set;
    set.color = { red, green, blue, 1 };
    return set;
}

class ForeignStyle : public Renderer::StyleObject {};

} // namespace

TEST(StyleObjectTest, FirstVariantWhoseBitsAreAllSetWins)
{
    BasicGLRenderer::StyleObject style(colored(0.5f, 0.5f, 0.5f));
    style.addVariant(Renderer::DISABLED, colored(1, 0, 0));
    style.addVariant(Renderer::PRESSED, colored(0, 1, 0));
    style.addVariant(Renderer::HOVER, colored(0, 0, 1));
    style.addVariant(Renderer::HOVER | Renderer::ACTIVE, colored(1, 1, 0)); // shadowed by HOVER alone

    struct Row {
        const char* name;
        uint32_t state;
        Color4 expected;
    };
    const Row rows[] = {
        { "disabled, pressed and hovered: the first listed", 0x1A, { 1, 0, 0, 1 } },
        { "pressed and hovered", 0x0A, { 0, 1, 0, 1 } },
        { "hovered", 0x08, { 0, 0, 1, 1 } },
        { "hovered and active: an earlier variant matches first", 0x09, { 0, 0, 1, 1 } },
        { "active alone matches no variant", 0x01, { 0.5f, 0.5f, 0.5f, 1 } },
        { "no state", 0x00, { 0.5f, 0.5f, 0.5f, 1 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BasicGLRenderer::resolve(&style, row.state).color, row.expected);
    }
}

TEST(StyleObjectTest, VariantNeedsEveryBitOfItsMask)
{
    BasicGLRenderer::StyleObject style;
    style.addVariant(Renderer::PRESSED | Renderer::HOVER, colored(1, 0, 0));
    EXPECT_EQ(style.resolve(Renderer::PRESSED).color, style.base.color);
    EXPECT_EQ(style.resolve(Renderer::PRESSED | Renderer::HOVER).color, (Color4 { 1, 0, 0, 1 }));
}

TEST(StyleObjectTest, NullAndForeignStylesGetTheDefaultColours)
{
    ForeignStyle foreign;
    for (const Renderer::StyleObject* style : { static_cast<const Renderer::StyleObject*>(nullptr),
                                                static_cast<const Renderer::StyleObject*>(&foreign) }) {
        const ColorSet& set = BasicGLRenderer::resolve(style, 0x1A);
        EXPECT_EQ(set.color, (Color4 { 1, 1, 1, 1 }));
        EXPECT_EQ(set.backgroundColor, (Color4 { 0, 0, 0, 0 }));
        EXPECT_EQ(set.selectionColor, (Color4 { 0, 0, 1, 1 }));
        EXPECT_FALSE(set.hasSelectedTextColor);
    }
}

TEST(RasterMaskTableTest, TypesMapToIconsUnderTheActiveBit)
{
    struct Row {
        int type;
        int inactive;
        int active;
    };
    const Row rows[] = {
        { 0, 0, 0 },   { 1, 2, 3 },   { 2, 4, 5 },   { 3, 6, 7 },   { 4, 9, 8 },    { 5, 11, 11 },
        { 6, 8, 8 },   { 7, 9, 9 },   { 8, 8, 8 },   { 9, 9, 9 },   { 10, 10, 10 }, { 11, 11, 11 },
        { 12, 1, 1 },  { 13, 14, 14 }, { 14, 12, 13 }, { 15, 15, 15 }, { 16, -1, -1 }, { -1, -1, -1 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(rasterMaskIcon(row.type, 0), row.inactive);
        EXPECT_EQ(rasterMaskIcon(row.type, Renderer::ACTIVE | Renderer::HOVER), row.active);
        EXPECT_EQ(rasterMaskIcon(row.type, Renderer::HOVER | Renderer::PRESSED), row.inactive);
    }
}

TEST(RasterMaskTableTest, CroppedTypesTakeRowsFourToElevenOfTheCell)
{
    for (int type : { 6, 7 }) {
        SCOPED_TRACE(type);
        int icon = rasterMaskIcon(type, 0);
        MaskTextureRect full = rasterMaskTextureRect(icon, 0);
        MaskTextureRect cropped = rasterMaskTextureRect(icon, type);
        EXPECT_FLOAT_EQ(cropped.left, full.left);
        EXPECT_FLOAT_EQ(cropped.right, full.right);
        EXPECT_FLOAT_EQ((cropped.top - full.top) * 64, 4);
        EXPECT_FLOAT_EQ((cropped.bottom - cropped.top) * 64, 8);
    }
    MaskTextureRect last = rasterMaskTextureRect(15, 15);
    EXPECT_FLOAT_EQ(last.left * 64, 48 - 0.484375f);
    EXPECT_FLOAT_EQ(last.top * 64, 48 - 0.484375f);
}

TEST(RasterMaskImageTest, IconsStayInsideTheirCellsAndChevronsInsideTheCroppedRows)
{
    std::vector<uint8_t> image = rasterMaskImage();
    ASSERT_EQ(image.size(), 64u * 64u);
    for (int icon = 0; icon < RASTER_MASK_COUNT; ++icon) {
        SCOPED_TRACE(icon);
        int ink = 0;
        int firstRow = 16;
        int lastRow = -1;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (image[size_t(16 * (icon / 4) + y) * 64 + size_t(16 * (icon % 4) + x)]) {
                    ++ink;
                    firstRow = std::min(firstRow, y);
                    lastRow = std::max(lastRow, y);
                }
        EXPECT_EQ(ink == 0, icon == 0) << "only icon 0 is empty";
        EXPECT_LT(lastRow, 15) << "row 15 of every cell stays clear";
        if (icon == 8 || icon == 9) {
            EXPECT_GE(firstRow, 4);
            EXPECT_LE(lastRow, 11);
        }
    }
    // The two-state pairs must differ, or ACTIVE would change nothing.
    for (int first : { 2, 4, 6, 12 })
        EXPECT_FALSE(std::equal(rasterMaskRows + first * 15, rasterMaskRows + first * 15 + 15,
                                rasterMaskRows + (first + 1) * 15))
            << "icons " << first << " and " << first + 1;
}

TEST(BitmapFontTest, GlyphsFitTheirClassesAndLandInTheirCells)
{
    auto rowsOf = [](int glyph) {
        return std::vector<uint8_t>(bitmapFontGlyphs + glyph * 15, bitmapFontGlyphs + glyph * 15 + 15);
    };
    EXPECT_EQ(rowsOf(32), std::vector<uint8_t>(15, 0)) << "the space is blank";
    for (int glyph = 33; glyph < 128; ++glyph)
        EXPECT_NE(rowsOf(glyph), std::vector<uint8_t>(15, 0)) << "glyph " << glyph << " has no ink";
    // Control glyphs show their own code, so no two of them (nor the crossed box) look alike.
    for (int a = 0; a < 32; ++a)
        for (int b = a + 1; b < 33; ++b)
            EXPECT_NE(rowsOf(a), rowsOf(b == 32 ? 127 : b)) << a << " and " << (b == 32 ? 127 : b);

    std::vector<uint8_t> image = bitmapFontImage();
    ASSERT_EQ(image.size(), 128u * 128u);
    for (int band = 0; band < 8; ++band)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(image[size_t(16 * band + 15) * 128 + size_t(x)], 0) << "row 15 of band " << band;
    // 'A' (65) sits in band 4, column 1: its rows and bits, bit 0 leftmost.
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(image[size_t(64 + y) * 128 + size_t(8 + x)] != 0, ((bitmapFontGlyphs[65 * 15 + y] >> x) & 1) != 0)
                << "row " << y << " column " << x;
}

TEST(BitmapFontTest, CodePointsOutsideTheFontUseTheEdgeGlyphs)
{
    const BitmapFontMetrics& metrics = bitmapFontMetrics();
    EXPECT_EQ(metrics.glyphOf(200), 127);
    EXPECT_EQ(metrics.glyphOf(0x1F600), 127);
    EXPECT_EQ(metrics.glyphOf(-5), 0);
    EXPECT_EQ(metrics.glyphOf('A'), 65);
}

TEST(ScissorBoxTest, ClampsRoundsAndFlipsToTheLowerLeftOrigin)
{
    struct Row {
        const char* name;
        Rect clip;
        FrameBuffer::Rect expected;
    };
    constexpr double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        { "inside", { 10, 20, 60, 70 }, { 10, 186, 60, 236 } },
        { "halves round away from zero", { 10.5, 20.5, 59.5, 69.4 }, { 11, 187, 60, 235 } },
        { "clamped to the framebuffer", { -5, -5, 300, 300 }, { 0, 0, 256, 256 } },
        { "unbounded", { -inf, -inf, inf, inf }, { 0, 0, 256, 256 } },
        { "inverted becomes empty", { 50, 50, 40, 40 }, { 50, 206, 50, 206 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BasicGLRenderer::scissorBox(row.clip, { { 256, 256 } }), row.expected);
    }
}

TEST(DepthValueTest, LayersApproachTheNearAndFarPlanes)
{
    EXPECT_EQ(BasicGLRenderer::depthValue(0), 0.0f);
    EXPECT_FLOAT_EQ(BasicGLRenderer::depthValue(256), -0.5f);
    EXPECT_FLOAT_EQ(BasicGLRenderer::depthValue(-256), 0.5f);
    EXPECT_LT(BasicGLRenderer::depthValue(2), BasicGLRenderer::depthValue(1)) << "higher layers are nearer";
    EXPECT_GT(BasicGLRenderer::depthValue(1 << 30), -1.0f);
}

TEST(ProjectionTest, MapsTheClientAreaToClipSpaceWithYDownwards)
{
    Matrix<float, 4, 4> projection = BasicGLRenderer::orthographic({ 0, 0, 200, 100 });
    Matrix<float, 4, 4> m = BasicGLRenderer::rectangleMatrix(projection, { 50, 25, 150, 75 }, 0.25f);
    // The unit square's corners (0, 0) and (1, 1) go to the rectangle's corners in clip space.
    auto apply = [&](float x, float y, int row) { return m.at(0, row) * x + m.at(1, row) * y + m.at(3, row); };
    EXPECT_FLOAT_EQ(apply(0, 0, 0), -0.5f);
    EXPECT_FLOAT_EQ(apply(0, 0, 1), 0.5f);
    EXPECT_FLOAT_EQ(apply(1, 1, 0), 0.5f);
    EXPECT_FLOAT_EQ(apply(1, 1, 1), -0.5f);
    EXPECT_FLOAT_EQ(apply(0, 0, 2), 0.25f);
}
