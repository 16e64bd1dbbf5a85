// SdlVideo: one-time SDL video and GL library set-up.
#include "engine/window/sdl/SdlVideo.h"

#include <SDL.h>

namespace orvex::sdl {

namespace {

bool report(const std::string& error, std::string* failure)
{
    if (failure)
        *failure = error;
    return error.empty();
}

} // namespace

bool videoReady(std::string* failure)
{
    static const std::string error = [] {
        // Closing a window asks the application (closeRequested); SDL must not turn it into a
        // quit of its own. SDL_QUIT then means SIGINT/SIGTERM only.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        // SDL blocks the screen saver by default; a viewer has no reason to.
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return std::string("SDL_InitSubSystem(SDL_INIT_VIDEO) failed: ") + SDL_GetError();
        return std::string();
    }();
    return report(error, failure);
}

bool glLibraryReady(std::string* failure)
{
    if (!videoReady(failure))
        return false;
    static const std::string error = [] {
        if (SDL_GL_LoadLibrary(nullptr) != 0)
            return std::string("SDL_GL_LoadLibrary failed: ") + SDL_GetError();
        return std::string();
    }();
    return report(error, failure);
}

} // namespace orvex::sdl
