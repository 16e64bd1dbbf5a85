// SdlMessageBox: SDL2 backend, the modal message box without owner window. SDL draws it itself
// (or runs zenity when it cannot); it works before and without SDL_Init.
#include "engine/window/NativeWindow.h"

#include <SDL.h>

#include <cstdio>
#include <string>

namespace orvex {

void NativeWindow::showMessage(int kind, std::string_view title, std::string_view text)
{
    Uint32 flags = 0;
    switch (kind) {
    case Window::MESSAGE_INFORMATION: flags = SDL_MESSAGEBOX_INFORMATION; break;
    case Window::MESSAGE_WARNING: flags = SDL_MESSAGEBOX_WARNING; break;
    case Window::MESSAGE_ERROR: flags = SDL_MESSAGEBOX_ERROR; break;
    default: break;
    }
    const std::string titleText(title), bodyText(text);
    // Without a usable display the box cannot open; the text still reaches a terminal.
    if (SDL_ShowSimpleMessageBox(flags, titleText.c_str(), bodyText.c_str(), nullptr) != 0)
        std::fprintf(stderr, "%s: %s (no message box: %s)\n", titleText.c_str(), bodyText.c_str(), SDL_GetError());
}

} // namespace orvex
