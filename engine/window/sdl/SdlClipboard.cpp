// SdlClipboard: SDL2 backend, the system clipboard's text (UTF-8). Line ends are line feeds on
// the engine's side; text from other programs may carry CR LF pairs, whose CR is dropped.
#include "engine/window/NativeWindow.h"
#include "engine/window/sdl/SdlVideo.h"

#include <SDL.h>

namespace orvex {

bool NativeWindow::getClipboardText(std::string& out)
{
    if (!sdl::videoReady() || !SDL_HasClipboardText())
        return false;
    char* text = SDL_GetClipboardText();
    if (!text)
        return false;
    out.clear();
    for (const char* c = text; *c; ++c) {
        if (c[0] == '\r' && c[1] == '\n')
            continue;
        out.push_back(*c);
    }
    SDL_free(text);
    return true;
}

void NativeWindow::setClipboardText(std::string_view utf8)
{
    if (sdl::videoReady())
        SDL_SetClipboardText(std::string(utf8).c_str());
}

} // namespace orvex
