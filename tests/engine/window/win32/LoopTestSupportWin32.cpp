// LoopTestSupport on Windows: WM_QUIT posted to the loop's thread, which the Win32 backend takes
// as a close request; the environment through the C runtime, which getenv reads.
#include "LoopTestSupport.h"

#include <windows.h>

#include <cstdlib>

namespace orvex::test {

std::function<void()> closeRequestFromAnyThread()
{
    const DWORD loopThread = GetCurrentThreadId();
    return [loopThread] { PostThreadMessageW(loopThread, WM_QUIT, 0, 0); };
}

void setEnvironment(const char* name, const char* value) { _putenv_s(name, value ? value : ""); }

} // namespace orvex::test
