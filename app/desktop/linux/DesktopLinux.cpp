// Desktop on Linux: xdg-open for open and the reveal fallback, the file manager's D-Bus interface
// for reveal (waited for on a detached thread of its own, which touches nothing but its copies), and the _GTK_THEME_VARIANT window property (read by GTK-based window managers such
// as Mutter) for the dark title bar, and the UTF-8 title properties. Relies on SDL2 for the X11 handles of the window.
#include "app/desktop/Desktop.h"

#include "app/desktop/linux/FileManagerBus.h"
#include "app/desktop/linux/ProcessSpawn.h"

#include <cstring>
#include <langinfo.h>
#include <string>
#include <system_error>
#include <thread>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// The argument for xdg-open: the bytes as given, except that a leading "-" would be read as an
// option, so such a relative path is written as "./-...". Empty for text that no argument vector
// can carry (a NUL byte) or that is empty.
std::string openerArgument(std::string_view text)
{
    if (text.empty() || text.find('\0') != std::string_view::npos)
        return {};
    std::string argument = text.front() == '-' ? "./" : "";
    argument.append(text);
    return argument;
}

bool onX11(void* nativeWindow, SDL_SysWMinfo& info)
{
    SDL_VERSION(&info.version);
    return nativeWindow && SDL_GetWindowWMInfo(static_cast<SDL_Window*>(nativeWindow), &info) && info.subsystem == SDL_SYSWM_X11;
}

// Each UTF-8 sequence past ASCII as one '?' (a stray continuation byte adds none).
std::string asciiOnly(std::string_view utf8)
{
    std::string ascii;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            ascii += c;
        else if (byte >= 0xC0)
            ascii += '?';
    }
    return ascii;
}

} // namespace

void openInShell(std::string_view text)
{
    const std::string argument = openerArgument(text);
    if (!argument.empty())
        spawnDetached({ "xdg-open", argument });
}

void revealAndWait(std::string_view path, int timeoutMs)
{
    const std::string uri = fileUriFromPath(path);
    if (!uri.empty() && showItemsOverSessionBus(uri, timeoutMs) == ShowItemsOutcome::FAILED)
        openInShell(parentDirectory(path));
}

void revealInBackground(std::string_view path, int timeoutMs)
{
    if (fileUriFromPath(path).empty())
        return;
    try {
        std::thread([path = std::string(path), timeoutMs] { revealAndWait(path, timeoutMs); }).detach();
    } catch (const std::system_error&) {
        // No thread to wait on: the parent folder is the most that can be shown without blocking.
        openInShell(parentDirectory(path));
    }
}

void revealInFileManager(std::string_view path)
{
    // Long enough for a file manager that starts on demand; the window never waits for it.
    revealInBackground(path, 25000);
}

void useDarkTitleBar(void* nativeWindow)
{
    if (!nativeWindow)
        return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(static_cast<SDL_Window*>(nativeWindow), &info) || info.subsystem != SDL_SYSWM_X11)
        return; // Wayland and the rest: the compositor decides
    Display* display = info.info.x11.display;
    const Atom variant = XInternAtom(display, "_GTK_THEME_VARIANT", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (variant == None || utf8 == None)
        return;
    static const unsigned char dark[] = "dark";
    XChangeProperty(display, info.info.x11.window, variant, utf8, 8, PropModeReplace, dark, 4);
    XFlush(display);
}

void showUtf8Title(void* nativeWindow, std::string_view utf8)
{
    if (!nativeWindow)
        return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(static_cast<SDL_Window*>(nativeWindow), &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    Display* display = info.info.x11.display;
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
    if (name == None || utf8String == None)
        return;
    // WM_NAME too: SDL wrote the UTF-8 bytes there as Latin-1 (STRING), which older window
    // managers would show garbled.
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    XChangeProperty(display, info.info.x11.window, name, utf8String, 8, PropModeReplace, bytes, int(utf8.size()));
    XChangeProperty(display, info.info.x11.window, XA_WM_NAME, utf8String, 8, PropModeReplace, bytes, int(utf8.size()));
    XFlush(display);
}

std::string windowLayerTitle(void* nativeWindow, std::string_view utf8)
{
    SDL_SysWMinfo info;
    if (!onX11(nativeWindow, info) || std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return std::string(utf8);
    return asciiOnly(utf8);
}
