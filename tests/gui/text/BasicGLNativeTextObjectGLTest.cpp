// Native text objects drawn through the GL renderer into the window, probed pixel by pixel:
// placement and opaque background, carets against the drawn ink, fallback glyphs, the stale
// rules, an empty text's slot, and the atlas's repack growth and window resize. DejaVu Sans is
// loaded by path so the pixels do not depend on the machine's font configuration.
#include "GlTestContext.h"

#include "gui/render/BasicGLRenderer.h"
#include "gui/text/BasicGLNativeTextObject.h"
#include "gui/text/FontCache.h"
#include "gui/text/TextAtlas.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace orvex;
using namespace orvex::gui;

namespace {

constexpr int SIZE = 256;
using Pixel = Color<unsigned char>;

class NativeTextGLTest : public test::GlTest {
protected:
    void SetUp() override
    {
        test::GlTest::SetUp();
        renderer = BasicGLRenderer::create(context());
        ASSERT_TRUE(renderer) << context()->lastError();
        renderer->setViewport({ 0, 0, SIZE, SIZE });
        atlas = std::make_unique<TextAtlas>(context(), 256, 256);
        fonts = std::make_unique<FontCache>(createFontEngine());
        colors.color = { 1, 1, 1, 1 };
        colors.backgroundColor = { 0, 0, 1, 1 };
    }
    void TearDown() override
    {
        objects.clear(); // before the atlas and the cache
        atlas.reset();
        fonts.reset();
    }

    BasicGLNativeTextObject& make(std::u32string_view text)
    {
        FontDescription spec;
        spec.faceName = U"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        spec.height = 20;
        objects.push_back(std::make_unique<BasicGLNativeTextObject>(*fonts, *atlas, spec));
        objects.back()->setText(text);
        return *objects.back();
    }

    void draw(BasicGLNativeTextObject& text, Vector2 at, const Renderer::StyleObject* style = nullptr)
    {
        BasicGLRenderer::StyleObject plain(colors);
        renderer->drawText(at, &text, style ? style : &plain);
        screen = gl.readPixels(0, 0, SIZE, SIZE);
    }
    // The last drawn frame by renderer coordinates (y downwards).
    Pixel at(int x, int y) const { return screen[size_t(SIZE - 1 - y) * SIZE + size_t(x)]; }
    // Ink: white text over the blue background raises red.
    bool inkInColumn(int x, int top, int bottom) const
    {
        for (int y = top; y < bottom; ++y)
            if (at(x, y).red > 40)
                return true;
        return false;
    }

    UniquePtr<BasicGLRenderer> renderer;
    std::unique_ptr<TextAtlas> atlas;
    std::unique_ptr<FontCache> fonts;
    std::vector<std::unique_ptr<BasicGLNativeTextObject>> objects;
    ColorSet colors;
    std::vector<Pixel> screen;
};

} // namespace

TEST_F(NativeTextGLTest, DrawsOpaqueAtSnappedOriginWithCaretsMatchingInk)
{
    const std::u32string text = U"HIHI";
    BasicGLNativeTextObject& object = make(text);
    const Rect bounds = object.bounds();
    ASSERT_GT(bounds.width(), 0);
    const int w = int(bounds.width()), h = int(bounds.height());
    context()->clear({ 0, 0, 0, 1 });
    draw(object, { 10.4, 20.6 }); // snapped to (10, 21)

    EXPECT_EQ(at(10, 21), (Pixel { 0, 0, 255, 255 })) << "top-left: background, opaque";
    EXPECT_EQ(at(9, 21), (Pixel { 0, 0, 0, 255 }));
    EXPECT_EQ(at(10, 20), (Pixel { 0, 0, 0, 255 }));
    EXPECT_EQ(at(10 + w, 21 + h - 1), (Pixel { 0, 0, 0, 255 }));
    EXPECT_EQ(at(10 + w - 1, 21 + h - 1).blue, 255);

    // The letters are symmetric, so each one's ink is centred between the carets around it.
    const auto& layout = object.layout();
    for (int64_t i = 0; i < int64_t(text.size()); ++i) {
        const int from = 10 + int(layout.xOf(i)), to = 10 + int(layout.xOf(i + 1));
        double weight = 0, moment = 0;
        for (int x = from; x < to; ++x)
            for (int y = 21; y < 21 + h; ++y) {
                weight += at(x, y).red;
                moment += at(x, y).red * (x + 0.5);
            }
        ASSERT_GT(weight, 0) << "glyph " << i << " has no ink between its carets";
        EXPECT_NEAR(moment / weight, (from + to) / 2.0, 1.0) << "glyph " << i;
    }
    for (int x = 10 + int(layout.xOf(4)); x < 10 + w; ++x)
        EXPECT_FALSE(inkInColumn(x, 21, 21 + h)) << "ink right of the last caret at " << x;
}

TEST_F(NativeTextGLTest, NonLatinAndFallbackGlyphsHaveInkInTheirCells)
{
    const std::u32string text = U"Жизнь λόγος 中文";
    BasicGLNativeTextObject& object = make(text);
    context()->clear({ 0, 0, 0, 1 });
    draw(object, { 0, 0 });
    const int h = int(object.bounds().height());
    for (int64_t i = 0; i < int64_t(text.size()); ++i) {
        if (text[size_t(i)] == U' ')
            continue;
        bool ink = false;
        for (int x = int(object.layout().xOf(i)); x < int(object.layout().xOf(i + 1)); ++x)
            ink |= inkInColumn(x, 0, h);
        EXPECT_TRUE(ink) << "code point " << uint32_t(text[size_t(i)]);
    }
}

TEST_F(NativeTextGLTest, StaleOnlyWhenTextOrColoursChange)
{
    BasicGLNativeTextObject& object = make(U"hover me");
    context()->clear({ 0, 0, 0, 1 });
    draw(object, { 0, 0 });
    EXPECT_FALSE(object.isStale());
    object.setText(U"hover me");
    EXPECT_FALSE(object.isStale()) << "the same text again";
    object.setWrapWidth(400);
    EXPECT_FALSE(object.isStale()) << "a wider wrap that leaves the one line as it was";
    object.setWrapWidth(30);
    EXPECT_TRUE(object.isStale()) << "a wrap that breaks the line";
    draw(object, { 0, 0 });

    ColorSet hovered = colors;
    hovered.backgroundColor = { 0, 1, 0, 1 };
    BasicGLRenderer::StyleObject style(colors);
    style.addVariant(Renderer::HOVER, hovered);
    draw(object, { 0, 0 }, &style);
    EXPECT_EQ(at(0, 0), (Pixel { 0, 0, 255, 255 }));
    renderer->state = Renderer::HOVER;
    draw(object, { 0, 0 }, &style);
    EXPECT_EQ(at(0, 0), (Pixel { 0, 255, 0, 255 })) << "a new background colour re-rasterises";
    renderer->state = 0;
}

TEST_F(NativeTextGLTest, EmptyTextFreesItsSlotAndDrawsNothing)
{
    BasicGLNativeTextObject& object = make(U"gone soon");
    draw(object, { 0, 0 });
    ASSERT_FALSE(object.atlasSlot().rect.empty());
    object.setText(U"");
    EXPECT_EQ(object.bounds(), (Rect { 0, 0, 0, 0 }));
    context()->clear({ 0, 0, 0, 1 });
    draw(object, { 0, 0 });
    EXPECT_TRUE(object.atlasSlot().rect.empty());
    EXPECT_EQ(at(0, 0), (Pixel { 0, 0, 0, 255 }));
    EXPECT_EQ(object.layout().lineCount(), 0);
}

TEST_F(NativeTextGLTest, SurvivesRepackGrowthAndReRasterisesAfterResize)
{
    BasicGLNativeTextObject& first = make(U"kept pixels");
    context()->clear({ 0, 0, 0, 1 });
    draw(first, { 5, 5 });
    const std::vector<Pixel> before = screen;

    // Fill the 256 x 256 atlas until it has to grow.
    for (int i = 0; atlas->width() == 256 && i < 64; ++i)
        draw(make(U"filler text number " + std::u32string(1, char32_t(U'A' + i % 26))), { 0, 200 });
    ASSERT_GT(atlas->width(), 256) << "the atlas never grew";

    context()->clear({ 0, 0, 0, 1 });
    draw(first, { 5, 5 });
    EXPECT_FALSE(first.isStale());
    EXPECT_EQ(screen, before) << "the repack moved the slot's pixels with it";

    atlas->fitWindow(700, 300);
    EXPECT_TRUE(first.atlasSlot().rect.empty());
    context()->clear({ 0, 0, 0, 1 });
    draw(first, { 5, 5 });
    EXPECT_FALSE(first.atlasSlot().rect.empty()) << "re-rasterised into a new slot";
    EXPECT_EQ(screen, before);
}

// The details bar in a 1280 x 757 window: one object whose line grows past and shrinks below the
// width where a quarter more room would no longer fit the window-sized atlas. Every line is drawn
// from its own pixels (the background at both ends, ink in between) and never doubles the atlas,
// also when other texts already made the atlas wider than its drawing surface.
TEST_F(NativeTextGLTest, WideLinesInWindowSizedAtlasKeepTheirPixels)
{
    const Vector<int, 2> extent = TextAtlas::initialSize(1280, 757);
    const std::u32string words = U"long file name in the details bar ";
    const struct {
        const char* name;
        int width;
    } rows[] = { { "fits with room to spare", 1200 }, { "room would pass the atlas", 1232 },
                 { "widest", 1275 },                   { "shorter after a wide one", 1050 },
                 { "much shorter", 500 },              { "wide again", 1240 } };
    for (bool grownByOthers : { false, true }) {
        SCOPED_TRACE(grownByOthers ? "atlas grown past the surface" : "window-sized atlas");
        objects.clear();
        atlas = std::make_unique<TextAtlas>(context(), extent[0], extent[1]);
        AtlasSlot filler(*atlas); // leaves no room for a line: the first one doubles the atlas
        if (grownByOthers)
            ASSERT_TRUE(atlas->allocate(filler, extent[0], extent[1] - 10));
        BasicGLNativeTextObject& object = make(U"");
        auto setWidth = [&](int pixels) {
            std::u32string text;
            object.setText(text);
            for (size_t i = 0; object.bounds().width() < pixels; ++i) {
                text.push_back(words[i % words.size()]);
                object.setText(text);
            }
            return int(object.bounds().width());
        };
        int atlasWidth = 0;
        for (const auto& row : rows) {
            SCOPED_TRACE(row.name);
            const int w = setWidth(row.width);
            for (int x : { 0, SIZE - w }) {
                context()->clear({ 0, 0, 0, 1 });
                draw(object, { double(x), 0 });
                EXPECT_EQ(at(x > 0 ? x : 0, 0), (Pixel { 0, 0, 255, 255 })) << "left end drawn at " << x;
                EXPECT_EQ(at(SIZE - 1, 0), (Pixel { 0, 0, 255, 255 })) << "screen's right, drawn at " << x;
                bool ink = false;
                for (int column = 0; column < SIZE && !ink; ++column)
                    ink = inkInColumn(column, 0, int(object.bounds().height()));
                EXPECT_TRUE(ink) << "drawn at " << x;
            }
            atlasWidth = atlasWidth ? atlasWidth : atlas->width();
            EXPECT_EQ(atlas->width(), atlasWidth) << "a line never doubles the atlas";
        }
        objects.clear(); // before the filler's atlas goes
    }
}
