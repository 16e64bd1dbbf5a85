// HiddenGlContext: the window stays hidden; its own framebuffer is never drawn to or shown.
#include "tools/snapshot/HiddenGlContext.h"

#include "engine/gl/GlLoader.h"

HiddenGlContext::~HiddenGlContext()
{
    gl = nullptr;
    native = nullptr;
}

bool HiddenGlContext::open(std::string& why)
{
    window.setSize(64, 64);
    window.setTitle("velbrin offscreen");
    orvex::Window::ContextSettings settings;
    settings.vsync = false;
    native = window.createNativeContext(settings);
    if (!native) {
        why = "no OpenGL context could be made (" + window.lastError() + ")";
        return false;
    }
    gl.reset(orvex::createGlContext(native.get()));
    if (!gl) {
        const std::string& loader = orvex::glLoadFailure();
        why = "the OpenGL context is unusable: " +
              (loader.empty() ? std::string("its entry points could not be loaded") : loader);
        return false;
    }
    return true;
}
