// On Windows nothing else takes a missing standard handle's place (a GUI program has none), so
// nothing is reopened: a handle that is absent is only remembered, so that "-" says so.
#include "engine/core/StandardStreams.h"

#include <windows.h>

namespace orvex {

namespace {

bool closedAtStart[3] = { false, false, false };
bool checked = false;

} // namespace

void openStandardStreams()
{
    if (checked)
        return;
    checked = true;
    const DWORD handles[3] = { STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE };
    for (int stream = 0; stream < 3; ++stream) {
        const HANDLE handle = GetStdHandle(handles[stream]);
        closedAtStart[stream] = handle == nullptr || handle == INVALID_HANDLE_VALUE;
    }
}

bool standardStreamWasClosed(StandardStream stream) { return closedAtStart[int(stream)]; }

} // namespace orvex
