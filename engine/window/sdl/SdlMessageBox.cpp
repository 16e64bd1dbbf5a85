// SdlMessageBox: SDL2 backend, the modal message box without owner window. SDL draws it itself
// (or runs zenity when it cannot); it works before and without SDL_Init.
#include "engine/window/NativeWindow.h"

#include <SDL.h>

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
    SDL_ShowSimpleMessageBox(flags, std::string(title).c_str(), std::string(text).c_str(), nullptr);
}

} // namespace orvex
