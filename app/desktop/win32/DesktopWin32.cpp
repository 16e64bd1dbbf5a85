// Desktop on Windows: ShellExecuteW "open" for URLs and paths, explorer.exe /select for reveal, and
// the undocumented SetWindowCompositionAttribute (looked up at run time; absent on older systems
// and under some compatibility layers) for a dark title bar. Paths arrive as UTF-8 and go through
// orvex::toWide.
#include "app/desktop/Desktop.h"
#include "app/desktop/win32/DesktopWin32.h"

#include "engine/core/win32/WideText.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// The record SetWindowCompositionAttribute takes; attribute 26 asks for the dark-mode colours of
// the window frame.
struct CompositionAttributeData {
    DWORD attribute;
    void* data;
    SIZE_T size;
};
using SetCompositionAttribute = BOOL(WINAPI*)(HWND, CompositionAttributeData*);
constexpr DWORD USE_DARK_MODE_COLORS = 26;

} // namespace

std::wstring explorerSelectArgument(std::wstring_view path)
{
    if (path.empty() || path.find_first_of(std::wstring_view(L"\"\0", 2)) != std::wstring_view::npos)
        return {};
    std::wstring argument = L"/select,\"";
    argument.reserve(path.size() + 12);
    for (wchar_t c : path)
        argument.push_back(c == L'/' ? L'\\' : c);
    size_t trailing = 0;
    while (trailing < argument.size() - 9 && argument[argument.size() - 1 - trailing] == L'\\')
        ++trailing;
    argument.append(trailing, L'\\');
    argument.push_back(L'"');
    return argument;
}

void* setWindowCompositionAttributeFunction()
{
    // A function-local static: initialised once even when first calls race.
    static void* const function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 ? reinterpret_cast<void*>(GetProcAddress(user32, "SetWindowCompositionAttribute")) : nullptr;
    }();
    return function;
}

void openInShell(std::string_view text)
{
    if (text.empty() || text.find('\0') != std::string_view::npos)
        return;
    const std::wstring target = orvex::toWide(text);
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void revealInFileManager(std::string_view path)
{
    const std::wstring argument = explorerSelectArgument(orvex::toWide(path));
    if (!argument.empty())
        ShellExecuteW(nullptr, L"open", L"explorer.exe", argument.c_str(), nullptr, SW_SHOWNORMAL);
}

void useDarkTitleBar(void* nativeWindow)
{
    void* function = setWindowCompositionAttributeFunction();
    if (!function || !nativeWindow)
        return;
    BOOL dark = TRUE;
    CompositionAttributeData data { USE_DARK_MODE_COLORS, &dark, sizeof(dark) };
    reinterpret_cast<SetCompositionAttribute>(function)(static_cast<HWND>(nativeWindow), &data);
}

void showUtf8Title(void*, std::string_view) {}

std::string windowLayerTitle(void*, std::string_view utf8) { return std::string(utf8); }
