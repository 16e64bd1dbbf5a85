// ProgramOutput on Windows: the standard handle when the parent gave one; else the parent's console
// (a GUI-subsystem program launched from cmd.exe has none of its own, so it attaches to cmd's);
// else a message box, which is what a double-clicked shortcut with --help gets. Text to a console
// goes as UTF-16 through WriteConsoleW; to a pipe or file as the UTF-8 bytes.
#include "app/ProgramOutput.h"

#include "engine/core/win32/WideText.h"
#include "engine/window/Window.h"

#include <string>
#include <windows.h>

namespace {

bool usable(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }

bool writeTo(HANDLE handle, std::string_view text)
{
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console: CRLF line ends and the wide text, whatever the console's code page.
        std::string crlf;
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        const std::wstring wide = orvex::toWide(crlf);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr) != 0;
    }
    DWORD written = 0;
    return WriteFile(handle, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
}

} // namespace

void writeProgramOutput(std::string_view text, bool error)
{
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    HANDLE handle = GetStdHandle(which);
    if (usable(handle) && writeTo(handle, text))
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        const bool written = usable(console) && writeTo(console, text);
        if (usable(console))
            CloseHandle(console);
        FreeConsole();
        if (written)
            return;
    }
    std::string_view shown = text;
    while (!shown.empty() && shown.back() == '\n')
        shown.remove_suffix(1);
    orvex::Window::showMessage(error ? orvex::Window::MESSAGE_ERROR : orvex::Window::MESSAGE_INFORMATION, "Velbrin",
                               shown);
}
