// LoopTestSupport over SDL2: SDL_QUIT (which the loop takes as a close request) is pushed onto
// SDL's thread-safe event queue; the environment through POSIX setenv.
#include "LoopTestSupport.h"

#include <SDL.h>

#include <cstdlib>

namespace orvex::test {

std::function<void()> closeRequestFromAnyThread()
{
    return [] {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    };
}

void setEnvironment(const char* name, const char* value)
{
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

} // namespace orvex::test
