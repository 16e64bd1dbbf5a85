// HiddenGlContext: an OpenGL context for tools that draw only offscreen — a hidden engine window
// (SDL backend; Win32 and WGL on Windows) with its native context and the engine's GlContext over it. Works wherever a
// window can be made: a desktop session or Xvfb. Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/NativeContext.h"
#include "engine/window/Window.h"

#include <string>

class HiddenGlContext {
public:
    HiddenGlContext() = default;
    // The GlContext first, then the native context, then the window.
    ~HiddenGlContext();
    HiddenGlContext(const HiddenGlContext&) = delete;
    HiddenGlContext& operator=(const HiddenGlContext&) = delete;

    // Makes the window and the context; false with the platform's or the GL loader's reason in
    // `why`. Call once, before other threads start: on Linux, without a valid XDG_RUNTIME_DIR it
    // points the variable at a private empty folder while SDL starts (see the .cpp).
    bool open(std::string& why);
    orvex::GlContext* context() const { return gl.get(); }

private:
    orvex::Window window;
    orvex::UniquePtr<orvex::NativeContext> native;
    orvex::UniquePtr<orvex::GlContext> gl;
};
