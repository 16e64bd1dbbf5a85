// Desktop: the shell services the application calls: open a URL or path with its default handler,
// reveal a file in the file manager, and ask for a dark title bar. Stateless free functions; none
// reports failure (a failed call leaves everything as it was). Backends: desktop/linux/, desktop/win32/.
#pragma once

#include <string>
#include <string_view>

// Opens `text` (a URL or a file-system path, as bytes; UTF-8 where the platform needs text) with
// the desktop's default handler and returns without waiting for it. Main thread.
void openInShell(std::string_view text);

// Shows the file or directory `path` selected in the system file manager. Falls back to opening
// the parent directory when the file manager definitely cannot select items (none there, an error),
// not when it is merely slow. Main thread; returns at once (the answer is waited for elsewhere).
void revealInFileManager(std::string_view path);

// Asks the window manager for a dark title bar on the window. `nativeWindow` is the native window
// layer's handle (an SDL_Window* on Linux, the HWND on Windows); null, an unsupported window system or any failure make
// it a no-op. Main thread, once the window exists.
void useDarkTitleBar(void* nativeWindow);

// Gives the window manager the window's title as UTF-8 text after Window::setTitle. Under X11,
// SDL writes _NET_WM_NAME only when the C library's locale can convert the title, which the C
// locale the program runs in cannot for anything past ASCII ("usr — Velbrin Preview"); this
// writes it directly. Windows titles are UTF-16 already: a no-op there, as for null, another
// window system or any failure. Main thread, once the window exists.
void showUtf8Title(void* nativeWindow, std::string_view utf8);

// The title to give Window::setTitle before showUtf8Title. Under X11 in a locale that is not
// UTF-8, SDL converts the title with XmbTextListToTextProperty, and libX11 loses an allocation
// the size of the title at each conversion of text past ASCII: there the window layer gets the
// title with every character past ASCII written as '?', and showUtf8Title writes the real one
// over it. Elsewhere (Windows, Wayland, a UTF-8 locale) the title itself. Main thread.
std::string windowLayerTitle(void* nativeWindow, std::string_view utf8);
