// GlTestContext on Windows: a hidden borderless window of the engine's own Win32 backend (no
// caption, so no minimum width gets in the way of small sizes) with its WGL context, which the
// test context forwards to. Unlike SDL's default, the WGL pixel format has an alpha channel.
#include "GlTestContext.h"

#include "engine/gl/FrameBuffer.h"
#include "engine/window/Window.h"

namespace orvex::test {

namespace {
Window* testWindow(void* window) { return static_cast<Window*>(window); }
NativeContext* testContext(void* context) { return static_cast<NativeContext*>(context); }
} // namespace

GlTestContext::GlTestContext(int width, int height)
    : width(width)
    , height(height)
{
    auto* created = new Window(Window::MODE_BORDERLESS);
    window = created;
    created->setMode(Window::MODE_BORDERLESS, -1, false);
    created->setSize(width, height);
    UniquePtr<NativeContext> native = created->createNativeContext(Window::ContextSettings());
    if (!native) {
        failure = "createNativeContext: " + created->lastError();
        return;
    }
    platformContext = native.release();
    glContext.reset(createGlContext(this));
    if (!glContext)
        failure = "createGlContext returned null (GL entry points could not be loaded)";
}

GlTestContext::~GlTestContext()
{
    glContext.reset();
    delete testContext(platformContext);
    delete testWindow(window);
}

std::vector<Color<unsigned char>> GlTestContext::readPixels(int x, int y, int width, int height)
{
    std::vector<Color<unsigned char>> pixels(size_t(width) * size_t(height));
    FrameBuffer* target = nullptr;
    if (glContext) {
        glContext->makeCurrent();
        target = glContext->currentFrameBuffer();
    } else {
        makeCurrent();
    }
    const bool offscreen = target && target->name() != 0;
    if (offscreen)
        gl::BindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl::ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (offscreen)
        gl::BindFramebuffer(GL_READ_FRAMEBUFFER, target->name());
    return pixels;
}

bool GlTestContext::makeCurrent() { return platformContext && testContext(platformContext)->makeCurrent(); }

void GlTestContext::swapBuffers()
{
    ++swapCount;
    if (platformContext)
        testContext(platformContext)->swapBuffers();
}

void* GlTestContext::procAddress(const char* name)
{
    return platformContext ? testContext(platformContext)->procAddress(name) : nullptr;
}

} // namespace orvex::test
