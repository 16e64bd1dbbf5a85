// NativeContext: the platform's OpenGL context of one window (SDL on Linux, WGL on Windows),
// as the engine's GlContext sees it. Created after its window and destroyed before it, by the
// window layer. Main thread.
#pragma once

namespace orvex {

class NativeContext {
public:
    virtual ~NativeContext() = default;
    // Makes this context current on the calling thread; false when the platform refuses.
    virtual bool makeCurrent() = 0;
    virtual void swapBuffers() = 0;
    // The window's client size in pixels, as last reported.
    virtual int clientWidth() const = 0;
    virtual int clientHeight() const = 0;
    // The platform's raw look-up of an entry point by its full name. It may answer for names the
    // driver lacks (GLX does); the loader checks the context's version and extensions as well.
    virtual void* procAddress(const char* name) = 0;
};

} // namespace orvex
