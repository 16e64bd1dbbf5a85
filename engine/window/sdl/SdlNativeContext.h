// SdlNativeContext: SDL2 backend, the OpenGL context of one SdlNativeWindow as the engine's
// NativeContext (made with SDL_GL_CreateContext, entry points through SDL_GL_GetProcAddress).
// Owned by the application; if its window is destroyed first, the GL context goes with the
// window and this object answers as a context that cannot be made current. Main thread only.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/NativeContext.h"

#include <SDL.h>

#include <string>

namespace orvex {

class SdlNativeWindow;

class SdlNativeContext final : public NativeContext {
public:
    // A context on `owner`'s window, current on return; null with SDL's reason in `failure`.
    // The swap interval is asked for but not required (X servers without vsync refuse it).
    static UniquePtr<SdlNativeContext> create(SdlNativeWindow& owner, bool vsync, std::string& failure);
    ~SdlNativeContext() override;
    SdlNativeContext(const SdlNativeContext&) = delete;
    SdlNativeContext& operator=(const SdlNativeContext&) = delete;

    bool makeCurrent() override;
    void swapBuffers() override;
    int clientWidth() const override;
    int clientHeight() const override;
    void* procAddress(const char* name) override;

    // The window is going away: delete the GL context now and stay inert.
    void windowDestroyed();

private:
    SdlNativeContext(SdlNativeWindow& owner, SDL_GLContext context);
    void release();

    SdlNativeWindow* owner; // null once the window is gone
    SDL_GLContext context;
};

} // namespace orvex
