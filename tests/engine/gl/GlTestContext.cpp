// GlTestContext over SDL2: a hidden 256x256 window with a double-buffered GL context, created
// without version or profile attributes as the program's own window layer does.
#include "GlTestContext.h"

#include "engine/gl/FrameBuffer.h"

#include <SDL.h>

namespace orvex::test {

namespace {
// The video subsystem and the GL library stay loaded for the rest of the process once a test
// has opened a window: the loaded gl:: pointers point into that library, and SDL unloads it
// with the last GL window unless someone else holds a reference.
bool ensureVideo(std::string& failure)
{
    static const std::string initError = [] {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return std::string("SDL_InitSubSystem(VIDEO): ") + SDL_GetError();
        if (SDL_GL_LoadLibrary(nullptr) != 0)
            return std::string("SDL_GL_LoadLibrary: ") + SDL_GetError();
        return std::string();
    }();
    failure = initError;
    return initError.empty();
}
} // namespace

GlTestContext::GlTestContext(int width, int height)
    : width(width)
    , height(height)
{
    if (!ensureVideo(failure))
        return;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window = SDL_CreateWindow("gl test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        failure = std::string("SDL_CreateWindow: ") + SDL_GetError();
        return;
    }
    platformContext = SDL_GL_CreateContext(static_cast<SDL_Window*>(window));
    if (!platformContext) {
        failure = std::string("SDL_GL_CreateContext: ") + SDL_GetError();
        return;
    }
    glContext.reset(createGlContext(this));
    if (!glContext)
        failure = "createGlContext returned null (GL entry points could not be loaded)";
}

GlTestContext::~GlTestContext()
{
    glContext.reset();
    if (platformContext) {
        SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window), nullptr);
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(platformContext));
    }
    if (window)
        SDL_DestroyWindow(static_cast<SDL_Window*>(window));
}

std::vector<Color<unsigned char>> GlTestContext::readPixels(int x, int y, int width, int height)
{
    static_assert(sizeof(Color<unsigned char>) == 4, "readPixels writes RGBA bytes straight into Color");
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

bool GlTestContext::makeCurrent()
{
    return SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window), static_cast<SDL_GLContext>(platformContext)) == 0;
}

void GlTestContext::swapBuffers()
{
    ++swapCount;
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window));
}

void* GlTestContext::procAddress(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}

} // namespace orvex::test
