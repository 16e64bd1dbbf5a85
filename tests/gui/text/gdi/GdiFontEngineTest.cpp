// The GDI + Uniscribe font engine: the line-break table shared with the FreeType test (DejaVu Sans
// added to the process from its file), Uniscribe's break opportunities per code point, cells of
// surrogate pairs and marks, fallback faces, and glyphs blended onto the BGR surface in their paint
// colours. Runs on Windows or under Wine.
#include "../LineBreakCases.h"

#include "gui/text/NativeTextLayout.h"
#include "gui/text/gdi/GdiFont.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace orvex::gui;

namespace {

// DejaVu Sans from the build machine's fonts (Wine's Z: drive), or from VELBRIN_DEJAVU.
bool addDejaVu()
{
    static const bool added = [] {
        std::wstring path = L"Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf";
        if (const wchar_t* given = _wgetenv(L"VELBRIN_DEJAVU"))
            path = given;
        return AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr) > 0;
    }();
    return added;
}

class GdiFontEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(addDejaVu()) << "DejaVuSans.ttf not found: set VELBRIN_DEJAVU to its Windows path";
        FontDescription spec;
        spec.faceName = U"DejaVu Sans";
        spec.height = line_break_cases::HEIGHT;
        orvex::UniquePtr<GdiFont> made = GdiFont::create(spec);
        ASSERT_TRUE(made);
        ASSERT_EQ(made->actualFace(0), L"DejaVu Sans");
        font = std::move(made);
    }

    GdiFontEngine engine;
    orvex::UniquePtr<GdiFont> font;
};

} // namespace

TEST_F(GdiFontEngineTest, BreaksTheSharedTableLikeTheFreeTypeEngine)
{
    for (const line_break_cases::Case& row : line_break_cases::CASES) {
        SCOPED_TRACE(row.name);
        NativeTextLayout layout;
        layout.build(row.text, *font, engine, row.wrapWidth, 0);
        EXPECT_EQ(layout.lineCount(), row.lines);
        EXPECT_PRED2(line_break_cases::widthAgrees, layout.width(), row.widest);
        EXPECT_EQ(layout.height(), row.lines * font->metrics().height);
    }
}

TEST_F(GdiFontEngineTest, BreakOpportunitiesArePerCodePoint)
{
    const struct {
        const char* name;
        std::u32string text;
        std::vector<size_t> opportunities;
    } rows[] = {
        { "after a space", U"hello world", { 6 } },
        { "after each run of spaces", U"a  b c", { 3, 5 } },
        { "after a hyphen", U"well-known", { 5 } },
        // The emoji is two UTF-16 units: the answer must still be indexed by code point.
        { "surrogate pair before a space", U"x\U0001F600 y", { 3 } },
        { "none in one word", U"abcdef", {} },
        // Complex script: itemised and broken per item, the boundaries read across items.
        { "between script items", U"abc \u05E9\u05DC\u05D5\u05DD def", { 4, 9 } },
        { "hyphen before a Hebrew word", U"ab-\u05E9\u05DC x", { 3, 6 } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<uint8_t> flags = engine.breakOpportunities(row.text);
        ASSERT_EQ(flags.size(), row.text.size());
        std::vector<size_t> found;
        for (size_t i = 0; i < flags.size(); ++i)
            if (flags[i])
                found.push_back(i);
        EXPECT_EQ(found, row.opportunities);
    }
}

TEST_F(GdiFontEngineTest, EveryCodePointGetsACellAndMissingOnesAFallbackFace)
{
    // A surrogate pair, a combining accent, and an ideograph DejaVu Sans lacks (Windows and the
    // test machine's Wine both have a face with it).
    const std::u32string text = U"a\U0001F600b e\u0301\u65E5!";
    const ShapedText shaped = font->shape(text);
    ASSERT_EQ(shaped.size(), text.size());
    for (size_t i = 1; i < shaped.size(); ++i)
        EXPECT_EQ(shaped.cellLeft[i], shaped.cellRight[i - 1]) << i;
    EXPECT_EQ(shaped.cellRight.back(), shaped.width);
    EXPECT_GT(shaped.advance(1), 0) << "the surrogate pair has a cell of its own";
    EXPECT_EQ(shaped.advance(5), 0) << "the combining accent shares the e's cell";
    for (const ShapedGlyph& glyph : shaped.glyphs) {
        EXPECT_EQ(glyph.face != 0, glyph.cluster == 6) << "cluster " << glyph.cluster;
        if (glyph.cluster == 6) {
            EXPECT_NE(font->actualFace(glyph.face), L"DejaVu Sans");
        }
        if (glyph.cluster == 7) {
            EXPECT_EQ(glyph.x, shaped.cellLeft[7]) << "the run after the fallback continues at the pen";
        }
    }
}

TEST_F(GdiFontEngineTest, DrawsGlyphsInTheirPaintColours)
{
    const std::u32string text = U"HH";
    const ShapedText shaped = font->shape(text);
    BgrSurface surface(64, 32);
    const Bgr background { 10, 20, 30 };
    surface.fill({ 0, 0, 64, 32 }, background);
    GlyphPaint paint { Bgr { 255, 255, 255 }, Bgr { 0, 0, 255 }, 1, 2 }; // the second H selected
    font->draw(shaped, surface, 2, font->metrics().ascent + 2, { 0, 0, 64, 32 }, paint);

    // The H's stems are full coverage somewhere in each cell, and nothing lands outside them.
    const auto inkIn = [&](int x0, int x1, Bgr color) {
        for (int y = 0; y < 32; ++y)
            for (int x = x0; x < x1; ++x)
                if (surface.pixel(x, y) == color)
                    return true;
        return false;
    };
    EXPECT_TRUE(inkIn(2 + shaped.cellLeft[0], 2 + shaped.cellRight[0], paint.normal));
    EXPECT_TRUE(inkIn(2 + shaped.cellLeft[1], 2 + shaped.cellRight[1], paint.selected));
    EXPECT_FALSE(inkIn(2 + shaped.cellLeft[1], 2 + shaped.cellRight[1], paint.normal));
    for (int y = 0; y < 32; ++y)
        EXPECT_EQ(surface.pixel(63, y), background);
}

TEST(GdiFontEngine, DefaultFaceMakesBothWeightsAndRefusesBadSpecs)
{
    GdiFontEngine engine;
    for (int weight : { 400, 700 }) {
        orvex::UniquePtr<Font> font = engine.createFont({ U"", 1, 20, 2, weight, false });
        ASSERT_TRUE(font) << weight;
        EXPECT_EQ(font->metrics().height, font->metrics().ascent + font->metrics().descent);
    }
    EXPECT_FALSE(engine.createFont({ U"", 1, 0, 2, 400, false })) << "height 0";
    EXPECT_FALSE(engine.createFont({ std::u32string(40, U'x'), 1, 12, 2, 400, false })) << "a name GDI would cut off";
}
