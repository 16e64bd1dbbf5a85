// HiddenGlContext: the window stays hidden; its own framebuffer is never drawn to or shown.
#include "tools/snapshot/HiddenGlContext.h"

#include "engine/gl/GlLoader.h"

#ifndef _WIN32
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Without a session (a shell on a server, CI under xvfb-run with no DISPLAY, cron) SDL's video
// set-up probes Wayland among its drivers, and the Wayland client library prints "error:
// XDG_RUNTIME_DIR is invalid or not set in the environment." even though SDL then goes on to a
// driver that works. Without that folder no Wayland compositor can be reached by name anyway, so
// while the context is made the variable names an empty private folder (mode 0700, made here and
// removed afterwards): the probe then finds no compositor and stays quiet. A session's own valid
// folder is left alone, and every failure SDL reports still comes through.
class QuietRuntimeDirectory {
public:
    QuietRuntimeDirectory()
    {
        const char* current = std::getenv("XDG_RUNTIME_DIR");
        struct stat info {};
        if (current && current[0] == '/' && stat(current, &info) == 0 && S_ISDIR(info.st_mode))
            return;
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary && temporary[0] == '/' ? temporary : "/tmp") +
                              "/velbrin-runtime-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return; // then the message may show; nothing else depends on the folder
        if (current)
            original = current;
        made = pattern;
        setenv("XDG_RUNTIME_DIR", made.c_str(), 1);
    }
    ~QuietRuntimeDirectory()
    {
        if (made.empty())
            return;
        if (original)
            setenv("XDG_RUNTIME_DIR", original->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        // rmdir removes only an empty folder: whatever someone put into it stays.
        rmdir(made.c_str());
    }
    QuietRuntimeDirectory(const QuietRuntimeDirectory&) = delete;
    QuietRuntimeDirectory& operator=(const QuietRuntimeDirectory&) = delete;

private:
    std::string made;                   // the folder made here, or empty
    std::optional<std::string> original; // the variable's value before, if it was set
};

} // namespace
#endif


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
    {
#ifndef _WIN32
        // SDL's video drivers are probed on the first window (Windows has one window system).
        QuietRuntimeDirectory quiet;
#endif
        native = window.createNativeContext(settings);
    }
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
