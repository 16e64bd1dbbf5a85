// SdlNativeContext: context creation, current-ness, swaps and release.
#include "engine/window/sdl/SdlNativeContext.h"

#include "engine/window/sdl/SdlNativeWindow.h"

namespace orvex {

UniquePtr<SdlNativeContext> SdlNativeContext::create(SdlNativeWindow& owner, bool vsync, std::string& failure)
{
    SDL_GLContext context = SDL_GL_CreateContext(owner.handle());
    if (!context) {
        failure = std::string("SDL_GL_CreateContext failed: ") + SDL_GetError();
        return nullptr;
    }
    // Not fatal: Xvfb, for one, has no swap control and refuses every interval.
    SDL_GL_SetSwapInterval(vsync ? 1 : 0);
    return UniquePtr<SdlNativeContext>(new SdlNativeContext(owner, context));
}

SdlNativeContext::SdlNativeContext(SdlNativeWindow& owner, SDL_GLContext context)
    : owner(&owner)
    , context(context)
{
}

SdlNativeContext::~SdlNativeContext()
{
    if (!owner)
        return;
    release();
    owner->forgetContext(this);
}

void SdlNativeContext::release()
{
    if (SDL_GL_GetCurrentContext() == context)
        SDL_GL_MakeCurrent(owner->handle(), nullptr);
    SDL_GL_DeleteContext(context);
    context = nullptr;
}

void SdlNativeContext::windowDestroyed()
{
    release();
    owner = nullptr;
}

bool SdlNativeContext::makeCurrent()
{
    return owner && SDL_GL_MakeCurrent(owner->handle(), context) == 0;
}

void SdlNativeContext::swapBuffers()
{
    if (owner)
        SDL_GL_SwapWindow(owner->handle());
}

int SdlNativeContext::clientWidth() const
{
    int width = 0;
    if (owner)
        SDL_GL_GetDrawableSize(owner->handle(), &width, nullptr);
    return width;
}

int SdlNativeContext::clientHeight() const
{
    int height = 0;
    if (owner)
        SDL_GL_GetDrawableSize(owner->handle(), nullptr, &height);
    return height;
}

void* SdlNativeContext::procAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

} // namespace orvex
