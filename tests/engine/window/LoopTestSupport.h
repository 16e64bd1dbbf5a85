// LoopTestSupport: the platform pieces the loop tests need, one source per backend
// (sdl/LoopTestSupportSdl.cpp, win32/LoopTestSupportWin32.cpp). Main thread unless stated.
#pragma once

#include <functional>

namespace orvex::test {

// Called on the loop's thread. The function returned may be called from any thread: the loop
// then sees a close request (closeRequested), which is how a watchdog ends a hung loop.
std::function<void()> closeRequestFromAnyThread();

// Sets an environment variable of this process; a null value removes it.
void setEnvironment(const char* name, const char* value);

} // namespace orvex::test
