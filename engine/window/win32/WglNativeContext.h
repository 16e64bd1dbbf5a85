// WglNativeContext: Win32 backend, the OpenGL context of one Win32NativeWindow as the engine's
// NativeContext. A hidden bootstrap window with a legacy pixel format and context (made once per
// process, kept until exit) reaches wglChoosePixelFormatARB, wglCreateContextAttribsARB and
// wglSwapIntervalEXT; the window then gets an ARB pixel format and its own context. Entry points
// come from wglGetProcAddress, and the OpenGL 1.1 ones, which it does not answer, from
// opengl32.dll itself. Owned by the application; if its window is destroyed first, the GL
// context goes with it and this object stays inert. Main thread only.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/NativeContext.h"
#include "engine/window/Window.h"

#include <windows.h>

#include <string>

namespace orvex {

class Win32NativeWindow;

class WglNativeContext final : public NativeContext {
public:
    // A context on `owner`'s window, current on return; null with the reason in `failure`.
    // The window must not have a pixel format other than the one chosen here.
    static UniquePtr<WglNativeContext> create(Win32NativeWindow& owner, const Window::ContextSettings& settings,
                                              std::string& failure);
    ~WglNativeContext() override;
    WglNativeContext(const WglNativeContext&) = delete;
    WglNativeContext& operator=(const WglNativeContext&) = delete;

    bool makeCurrent() override;
    void swapBuffers() override;
    int clientWidth() const override;
    int clientHeight() const override;
    void* procAddress(const char* name) override;

    // The window is going away: delete the GL context now and stay inert.
    void windowDestroyed();

private:
    WglNativeContext(Win32NativeWindow& owner, HDC hdc, HGLRC context);
    void release();

    Win32NativeWindow* owner; // null once the window is gone
    HDC hdc;
    HGLRC context;
};

} // namespace orvex
