// Win32MessageBox: Win32 backend, the modal message box without owner window. It works before
// any window exists; when the box cannot open (no desktop), the text goes to stderr.
#include "engine/core/win32/WideText.h"
#include "engine/window/NativeWindow.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace orvex {

void NativeWindow::showMessage(int kind, std::string_view title, std::string_view text)
{
    UINT flags = MB_OK | MB_SETFOREGROUND;
    switch (kind) {
    case Window::MESSAGE_INFORMATION: flags |= MB_ICONINFORMATION; break;
    case Window::MESSAGE_WARNING: flags |= MB_ICONWARNING; break;
    case Window::MESSAGE_ERROR: flags |= MB_ICONERROR; break;
    default: break;
    }
    if (MessageBoxW(nullptr, toWide(text).c_str(), toWide(title).c_str(), flags) == 0) {
        const std::string titleText(title), bodyText(text);
        std::fprintf(stderr, "%s: %s (no message box: %s)\n", titleText.c_str(), bodyText.c_str(),
                     systemErrorText(GetLastError()).c_str());
    }
}

} // namespace orvex
