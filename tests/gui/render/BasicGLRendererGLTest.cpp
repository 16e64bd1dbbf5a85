// BasicGLRenderer with a real context: pixel probes of rectangles under offsets and clips, the
// scissor state through push and restore, colours chosen by state, icon masks, textures and
// built-in-font text, and creation sharing the stock programs through the registry.
#include "gui/render/BasicGLRenderer.h"

#include "engine/gl/FrameBuffer.h"
#include "engine/gl/PixelFormat.h"
#include "engine/gl/Texture.h"
#include "gui/render/BasicGLTextObject.h"
#include "tests/engine/gl/GlTestContext.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace orvex;
using namespace orvex::gui;

namespace {

using Pixel = Color<unsigned char>;
constexpr Pixel BLACK { 0, 0, 0, 255 };
constexpr Pixel WHITE { 255, 255, 255, 255 };
constexpr int WINDOW_SIZE = 256;

class BasicGLRendererGLTest : public test::GlTest {
protected:
    void SetUp() override
    {
        test::GlTest::SetUp();
        renderer = BasicGLRenderer::create(context());
        ASSERT_NE(renderer, nullptr) << context()->lastError();
        context()->screenFrameBuffer()->makeCurrent();
        // As the application's window draws: blending on, back faces culled.
        context()->screenFrameBuffer()->setBlending(true);
        context()->screenFrameBuffer()->setCullMode(1);
        renderer->setViewport({ 0, 0, WINDOW_SIZE, WINDOW_SIZE });
        context()->clear({ 0, 0, 0, 1 });
    }

    // A pixel by the renderer's coordinates (y downwards).
    Pixel at(int x, int y) { return gl.pixel(x, WINDOW_SIZE - 1 - y); }

    // Whether exactly the pixels of `area` (y downwards) are lit in the probed window region.
    void expectLitExactly(const Rect& area, Pixel lit, int extent = 120)
    {
        for (int y = 0; y < extent; y += 1)
            for (int x = 0; x < extent; x += 1) {
                bool inside = area.contains({ x + 0.5, y + 0.5 });
                Pixel pixel = at(x, y);
                if (inside ? pixel != lit : pixel != BLACK) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") " << (inside ? "not lit" : "lit");
                    return;
                }
            }
    }

    UniquePtr<BasicGLRenderer> renderer;
};

} // namespace

TEST_F(BasicGLRendererGLTest, FillRectangleAddsTheOffsetAndStopsAtTheClip)
{
    Rect clip { 0, 0, 50, 50 };
    renderer->pushClip(clip);
    Vector2 offset { 10, 10 };
    renderer->pushOffset(offset);
    renderer->fillRectangle({ 0, 0, 100, 20 }, 0, nullptr);
    expectLitExactly({ 10, 10, 50, 30 }, WHITE);

    renderer->restoreOffset(offset);
    renderer->restoreClip(clip);
    EXPECT_EQ(renderer->offset(), (Vector2 { 0, 0 }));
    EXPECT_FALSE(renderer->clipEnabled());
}

TEST_F(BasicGLRendererGLTest, NestedClipsIntersectInTheOffsetFrameAndRestoreInOrder)
{
    Vector2 offset { 20, 20 };
    renderer->pushOffset(offset);
    Rect outer { 0, 0, 60, 60 }; // (20, 20)-(80, 80) on screen
    renderer->pushClip(outer);
    Rect inner { 30, -10, 100, 30 }; // (50, 10)-(120, 50), cut to (50, 20)-(80, 50)
    renderer->pushClip(inner);
    EXPECT_EQ(renderer->clip(), (Rect { 50, 20, 80, 50 }));
    EXPECT_EQ(inner, (Rect { 20, 20, 80, 80 })) << "the previous clip is written back";
    FrameBuffer* screen = context()->screenFrameBuffer();
    EXPECT_EQ(screen->scissor(), (FrameBuffer::Rect { 50, WINDOW_SIZE - 50, 80, WINDOW_SIZE - 20 }));

    renderer->restoreClip(inner);
    EXPECT_EQ(screen->scissor(), (FrameBuffer::Rect { 20, WINDOW_SIZE - 80, 80, WINDOW_SIZE - 20 }));
    // A mask is not cut geometrically: only the scissor box keeps it inside the clip.
    renderer->drawRasterMask({ -20, -20, 44, 40 }, 12, nullptr); // the arrow, 4 x 3.75 times its size
    EXPECT_EQ(at(30, 28), WHITE) << "the arrow's wide row inside the clip";
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (!(Rect { 20, 20, 80, 80 }).contains({ x + 0.5, y + 0.5 }) && at(x, y) != BLACK) {
                ADD_FAILURE() << "mask ink outside the clip at (" << x << ", " << y << ")";
                return;
            }
}

TEST_F(BasicGLRendererGLTest, RestoringTheClipOfAnUnclippedRendererDisablesClipping)
{
    Rect clip { 0, 0, 10, 10 };
    renderer->pushClip(clip);
    EXPECT_TRUE(context()->screenFrameBuffer()->scissorEnabled());
    EXPECT_EQ(clip, Rect::unbounded());
    renderer->restoreClip(clip);
    EXPECT_FALSE(renderer->clipEnabled());
    EXPECT_FALSE(context()->screenFrameBuffer()->scissorEnabled());
    renderer->fillRectangle({ 20, 20, 40, 40 }, 0, nullptr);
    EXPECT_EQ(at(30, 30), WHITE) << "drawing outside the old clip works again";
}

TEST_F(BasicGLRendererGLTest, StateSelectsTheFirstMatchingVariantsColour)
{
    ColorSet base, disabled, pressed, hover;
    base.color = { 1, 1, 1, 1 };
    disabled.color = { 1, 0, 0, 1 };
    pressed.color = { 0, 1, 0, 1 };
    hover.color = { 0, 0, 1, 1 };
    BasicGLRenderer::StyleObject style(base);
    style.addVariant(0x10, disabled);
    style.addVariant(0x02, pressed);
    style.addVariant(0x08, hover);
    {
        Renderer::StateScope scope(*renderer, 0x1A, 0xFF);
        renderer->fillRectangle({ 0, 0, 10, 10 }, 0, &style);
    }
    renderer->fillRectangle({ 10, 0, 20, 10 }, 0, &style);
    EXPECT_EQ(at(5, 5), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(at(15, 5), WHITE) << "the scope restored state 0";
}

TEST_F(BasicGLRendererGLTest, CheckBoxMaskFollowsTheActiveBitAndUnknownTypesDrawNothing)
{
    // 16 x 16 pixels show the icon texel for texel: icon rows 1 and 7 (frame; check mark).
    renderer->drawRasterMask({ 0, 0, 16, 16 }, 1, nullptr);
    {
        Renderer::StateScope active(*renderer, Renderer::ACTIVE, Renderer::ACTIVE);
        renderer->drawRasterMask({ 32, 0, 48, 16 }, 1, nullptr);
    }
    renderer->drawRasterMask({ 64, 0, 80, 16 }, 16, nullptr);
    for (int x : { 0, 32 }) {
        EXPECT_EQ(at(x + 1, 1), WHITE) << "frame corner at " << x;
        EXPECT_EQ(at(x + 7, 1), WHITE) << "frame top at " << x;
        EXPECT_EQ(at(x + 0, 1), BLACK) << "left of the frame at " << x;
    }
    EXPECT_EQ(at(4, 7), BLACK) << "the empty box has no check mark";
    EXPECT_EQ(at(32 + 4, 7), WHITE) << "ACTIVE shows the checked box";
    for (int y = 0; y < 16; ++y)
        for (int x = 64; x < 80; ++x)
            ASSERT_EQ(at(x, y), BLACK) << "type 16 drew at (" << x << ", " << y << ")";
}

TEST_F(BasicGLRendererGLTest, DrawTextureShowsTheWholeTextureUnmodulated)
{
    const uint8_t texels[] = { 255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255 };
    TextureSettings nearest;
    nearest.minFilter = nearest.magFilter = 0;
    UniquePtr<Texture2D> texture(context()->createTexture2D({ { COMPONENT_UINT8, 4 }, texels, 2, 2 }, 0, nearest));
    ASSERT_NE(texture, nullptr);
    Vector2 offset { 10, 10 };
    renderer->pushOffset(offset);
    renderer->drawTexture({ 0, 0, 40, 40 }, texture.get());
    // Texture row 0 is at the top of the rectangle.
    EXPECT_EQ(at(15, 15), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(at(45, 15), (Pixel { 0, 255, 0, 255 }));
    EXPECT_EQ(at(15, 45), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(at(45, 45), WHITE);
    EXPECT_EQ(at(55, 15), BLACK);
}

TEST_F(BasicGLRendererGLTest, TextDrawsGlyph127ForCodePointsAboveTheFont)
{
    auto render = [&](std::u32string_view string) {
        context()->clear({ 0, 0, 0, 1 });
        UniquePtr<gui::TextObject> text(renderer->configurator().configureText(nullptr, nullptr));
        text->setText(string);
        renderer->drawText({ 20, 20 }, text.get(), nullptr);
        return gl.readPixels(20, WINDOW_SIZE - 20 - 16, 8, 16);
    };
    std::vector<Pixel> crossedBox = render(U"\x7F");
    std::vector<Pixel> beyond = render(U"\u00C8");
    std::vector<Pixel> letter = render(U"A");
    EXPECT_EQ(beyond, crossedBox);
    EXPECT_NE(letter, crossedBox);
    // Every lit pixel of 'A' is a set bit of the glyph: rows from one below the line top.
    int lit = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            bool on = letter[size_t(15 - y) * 8 + size_t(x)] == WHITE;
            bool bit = y >= 1 && ((bitmapFontGlyphs[65 * 15 + y - 1] >> x) & 1);
            EXPECT_EQ(on, bit) << "row " << y << " column " << x;
            lit += on;
        }
    EXPECT_GT(lit, 10);
}

TEST_F(BasicGLRendererGLTest, SelectionIsDrawnUnderTheGlyphs)
{
    BasicGLTextObject text(renderer.get());
    text.setText(U"ab");
    TextRange range { 1, 2 };
    text.setSelection(range);
    ColorSet colors;
    colors.color = { 1, 1, 1, 1 };
    colors.selectionColor = { 0, 0, 1, 1 };
    BasicGLRenderer::StyleObject style(colors);
    renderer->drawText({ 0, 0 }, &text, &style);
    EXPECT_EQ(at(4, 0), BLACK) << "the unselected glyph's blank top row";
    EXPECT_EQ(at(12, 0), (Pixel { 0, 0, 255, 255 })) << "the selected glyph's cell";
    EXPECT_EQ(at(20, 0), BLACK);
}

TEST_F(BasicGLRendererGLTest, CaretIsKeptBetweenZeroAndMaxX)
{
    BasicGLTextObject text(renderer.get());
    text.setText(U"abcdef");
    renderer->drawCaret({ 0, 0 }, &text, 6, 30, nullptr); // x 48 pulled back to 29
    EXPECT_EQ(at(29, 5), WHITE);
    EXPECT_EQ(at(28, 5), BLACK);
    renderer->drawCaret({ -100, 40 }, &text, 0, 30, nullptr); // x -100 pushed to 0
    EXPECT_EQ(at(0, 45), WHITE);
}

TEST_F(BasicGLRendererGLTest, RenderersOfOneContextShareTheStockPrograms)
{
    UniquePtr<BasicGLRenderer> second = BasicGLRenderer::create(context());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->basicShader(), renderer->basicShader());
    EXPECT_EQ(second->textureShader(), renderer->textureShader());
    EXPECT_NE(second->rasterMaskShader(), renderer->rasterMaskShader());
    EXPECT_EQ(BasicGLRenderer::create(nullptr), nullptr);
}
