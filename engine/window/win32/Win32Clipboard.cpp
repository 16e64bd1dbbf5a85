// Win32Clipboard: Win32 backend, the system clipboard's text. The engine's text has line feeds;
// the clipboard's convention is CR LF, so CRs of CR LF pairs are dropped on reading and LFs get
// their CR on writing. Unicode text is preferred; ANSI text is converted from the ANSI code page.
// Main thread only.
#include "engine/core/win32/WideText.h"
#include "engine/window/NativeWindow.h"
#include "engine/window/win32/Win32NativeWindow.h"

#include <windows.h>

#include <cstring>

namespace orvex {

namespace {

// Another program may hold the clipboard open for a moment: a few short retries.
bool openClipboard(HWND owner)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (OpenClipboard(owner))
            return true;
        Sleep(10);
    }
    return false;
}

// Setting data needs an owner window: EmptyClipboard on a clipboard opened without one makes the
// owner null, and SetClipboardData then fails. A hidden message-only window serves, made once.
HWND clipboardOwner()
{
    static const HWND owner = Win32NativeWindow::registerWindowClass()
                                  ? CreateWindowExW(0, Win32NativeWindow::windowClassName(), L"", 0, 0, 0, 0, 0,
                                                    HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr)
                                  : nullptr;
    return owner;
}

std::wstring ansiToWide(const char* text, size_t length)
{
    const int units = MultiByteToWideChar(CP_ACP, 0, text, int(length), nullptr, 0);
    std::wstring wide(size_t(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, text, int(length), wide.data(), units);
    return wide;
}

// The text of a clipboard handle, up to its terminating NUL or the end of its memory.
bool readText(UINT format, std::wstring& text)
{
    const HANDLE handle = GetClipboardData(format);
    if (!handle)
        return false;
    const void* data = GlobalLock(handle);
    if (!data)
        return false;
    const size_t bytes = GlobalSize(handle);
    if (format == CF_UNICODETEXT) {
        const auto* units = static_cast<const wchar_t*>(data);
        text.assign(units, wcsnlen(units, bytes / sizeof(wchar_t)));
    } else {
        const auto* chars = static_cast<const char*>(data);
        text = ansiToWide(chars, strnlen(chars, bytes));
    }
    GlobalUnlock(handle);
    return true;
}

} // namespace

bool NativeWindow::getClipboardText(std::string& out)
{
    if (!openClipboard(nullptr))
        return false;
    std::wstring text;
    const bool found = readText(CF_UNICODETEXT, text) || readText(CF_TEXT, text);
    CloseClipboard();
    if (!found)
        return false;
    std::wstring lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        lines.push_back(text[i]);
    }
    out = fromWide(lines);
    return true;
}

void NativeWindow::setClipboardText(std::string_view utf8)
{
    const std::wstring text = toWide(utf8);
    std::wstring crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        // An LF that already has its CR keeps the one it has.
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            crlf.push_back(L'\r');
        crlf.push_back(text[i]);
    }
    const size_t bytes = (crlf.size() + 1) * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        return;
    void* data = GlobalLock(memory);
    if (!data) {
        GlobalFree(memory);
        return;
    }
    std::memcpy(data, crlf.c_str(), bytes);
    GlobalUnlock(memory);
    if (!openClipboard(clipboardOwner())) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    // On success the clipboard owns the memory.
    if (!SetClipboardData(CF_UNICODETEXT, memory))
        GlobalFree(memory);
    CloseClipboard();
}

} // namespace orvex
