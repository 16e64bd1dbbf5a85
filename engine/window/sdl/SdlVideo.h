// SdlVideo: SDL2 backend, the process-wide SDL video subsystem and GL library. Both are set up
// on first use and kept until the process ends: the gl:: entry points point into the GL library,
// which SDL would otherwise unload with the last GL window. Main thread only.
#pragma once

#include <string>

namespace orvex::sdl {

// True when SDL video works; otherwise false with SDL's reason in `failure`.
bool videoReady(std::string* failure = nullptr);
// True when the GL library is loaded as well.
bool glLibraryReady(std::string* failure = nullptr);

} // namespace orvex::sdl
