// TextureFrameBuffer against a real context: drawing lands in the offscreen texture and not in the
// window, readPixels() returns the top row first, creation and destruction leave the context's
// current-target cache true, and sizes the driver cannot hold are refused with a reason.
#include "GlTestContext.h"

#include "engine/core/UniquePtr.h"
#include "engine/gl/TextureFrameBuffer.h"

using namespace orvex;

namespace {

using TextureFrameBufferGLTest = orvex::test::GlTest;

Color<unsigned char> at(const Image& image, int x, int y)
{
    const uint8_t* p = image.data() + (size_t(y) * size_t(image.width()) + size_t(x)) * 4;
    return { p[0], p[1], p[2], p[3] };
}

constexpr Color<unsigned char> RED { 255, 0, 0, 255 };
constexpr Color<unsigned char> GREEN { 0, 255, 0, 255 };
constexpr Color<unsigned char> BLUE { 0, 0, 255, 255 };

} // namespace

TEST_F(TextureFrameBufferGLTest, DrawsOffscreenAndReadsTopRowFirst)
{
    ScreenFrameBuffer* screen = context()->screenFrameBuffer();
    screen->makeCurrent();
    context()->clear({ 0, 0, 1, 1 });

    UniquePtr<TextureFrameBuffer> target(TextureFrameBuffer::create(context(), 8, 6));
    ASSERT_NE(target.get(), nullptr) << context()->lastError();
    EXPECT_EQ(target->size(), (Vector<int, 2> { { 8, 6 } }));
    target->makeCurrent();
    context()->clear({ 1, 0, 0, 1 });
    // GL counts rows from the bottom: rows 4 and 5 are the top two of the picture.
    target->setScissor({ 0, 4, 8, 6 });
    context()->clear({ 0, 1, 0, 1 });
    target->disableScissor();

    Image picture = target->readPixels();
    ASSERT_EQ(picture.width(), 8);
    ASSERT_EQ(picture.height(), 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; x += 7)
            EXPECT_EQ(at(picture, x, y), y < 2 ? GREEN : RED) << "at " << x << ", " << y;
    // The window kept its own content.
    EXPECT_EQ(gl.pixel(3, 3), BLUE);
}

TEST_F(TextureFrameBufferGLTest, CreationAndDestructionKeepTheCurrentTargetTrue)
{
    ScreenFrameBuffer* screen = context()->screenFrameBuffer();
    screen->makeCurrent();
    UniquePtr<TextureFrameBuffer> target(TextureFrameBuffer::create(context(), 4, 4));
    ASSERT_NE(target.get(), nullptr) << context()->lastError();
    EXPECT_EQ(context()->currentFrameBuffer(), screen);

    target->makeCurrent();
    EXPECT_EQ(context()->currentFrameBuffer(), target.get());
    target = nullptr;
    EXPECT_EQ(context()->currentFrameBuffer(), screen);
    // Clearing now reaches the window, not a deleted framebuffer.
    context()->clear({ 0, 1, 0, 1 });
    EXPECT_EQ(gl.pixel(10, 10), GREEN);
}

TEST_F(TextureFrameBufferGLTest, RefusesSizesTheDriverCannotHold)
{
    struct Row { const char* name; int width, height; };
    const Row rows[] = { { "zero width", 0, 16 }, { "negative height", 16, -1 }, { "beyond every limit", 1 << 20, 4 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        context()->setLastError("");
        UniquePtr<TextureFrameBuffer> target(TextureFrameBuffer::create(context(), row.width, row.height));
        EXPECT_EQ(target.get(), nullptr);
        EXPECT_NE(context()->lastError().find("size"), std::string::npos) << context()->lastError();
    }
}
