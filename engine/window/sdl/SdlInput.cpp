// SdlInput: SDL2 backend, one flat switch from SDL events to NativeWindow's input*() calls.
// Everything SDL does differently from what the engine promises is evened out here: SDL sends
// no text for Enter and Tab, reports wheels away from the user as positive, and numbers its
// middle and right buttons the other way round.
#include "engine/window/sdl/SdlInput.h"

#include "engine/window/KeyCodes.h"
#include "engine/window/NativeWindow.h"

namespace orvex::sdl {

namespace {

// Whether a key typed with these modifiers produces a character: Ctrl (without AltGr, which
// some platforms report as Ctrl + right Alt) and left Alt make shortcuts, not text.
bool typesCharacters(int modifiers)
{
    if (modifiers & MOD_LEFT_ALT)
        return false;
    return !(modifiers & MOD_CTRL) || (modifiers & MOD_RIGHT_ALT);
}

// Decodes UTF-8, skipping malformed bytes.
template <typename Sink>
void forEachCodePoint(const char* text, Sink sink)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        const unsigned lead = *p;
        int length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            ++p;
            continue;
        }
        int i = 1;
        for (; i < length && (p[i] & 0xC0) == 0x80; ++i)
            code = (code << 6) | (p[i] & 0x3F);
        if (i < length) {
            p += i; // truncated sequence
            continue;
        }
        p += length;
        sink(code);
    }
}

void translateKey(const SDL_KeyboardEvent& event, NativeWindow& target)
{
    const int scanKey = scanKeyOf(event.keysym.scancode);
    const int key = keyOf(event.keysym.sym);
    const bool pressed = event.type == SDL_KEYDOWN;
    target.inputKey(scanKey, key, pressed, event.repeat != 0);
    // SDL has no text for these two; the engine delivers them as characters, on every repeat.
    if (!pressed || !typesCharacters(target.modifiers()))
        return;
    if (key == KEY_ENTER || key == KEY_KEYPAD_ENTER)
        target.inputCharacter(13);
    else if (key == KEY_TAB)
        target.inputCharacter(9);
}

void translateText(const char* utf8, NativeWindow& target)
{
    if (!typesCharacters(target.modifiers()))
        return;
    forEachCodePoint(utf8, [&](char32_t code) {
        // Control characters never count as text; Enter and Tab come from their keys.
        if (code >= 32 && code != 127)
            target.inputCharacter(code);
    });
}

void translateWheel(const SDL_MouseWheelEvent& event, NativeWindow& target)
{
    float notches = event.preciseY;
    if (event.direction == SDL_MOUSEWHEEL_FLIPPED)
        notches = -notches;
    if (notches == 0) // horizontal only
        return;
    // SDL counts turns away from the user as positive; the engine counts towards the user.
    target.inputMouseWheel(-double(notches), event.mouseX, event.mouseY);
}

void translateWindowEvent(const SDL_WindowEvent& event, NativeWindow& target)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN: target.inputShown(); break;
    case SDL_WINDOWEVENT_HIDDEN: target.inputHidden(); break;
    case SDL_WINDOWEVENT_EXPOSED: target.requestRedraw(); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: target.inputResized(event.data1, event.data2); break;
    case SDL_WINDOWEVENT_MINIMIZED: target.inputMinimised(); break;
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED: target.inputRestored(); break;
    // Entering is announced by the first move, which carries the position.
    case SDL_WINDOWEVENT_LEAVE: target.inputMouseLeft(); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: target.inputFocus(true, modifierBitsOf(SDL_GetModState())); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: target.inputFocus(false, 0); break;
    case SDL_WINDOWEVENT_CLOSE: target.inputCloseRequest(); break;
    case SDL_WINDOWEVENT_DISPLAY_CHANGED: target.inputDisplayChanged(); break;
    default: break;
    }
}

} // namespace

const UserEventTypes& userEventTypes()
{
    static const UserEventTypes types = [] {
        const Uint32 first = SDL_RegisterEvents(2);
        return UserEventTypes{first, first + 1};
    }();
    return types;
}

int buttonOf(int sdlButton)
{
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return (sdlButton >= SDL_BUTTON_X1 && sdlButton <= 7) ? sdlButton : 0;
    }
}

int modifierBitsOf(int sdlKeymod)
{
    int bits = 0;
    bits |= (sdlKeymod & KMOD_LSHIFT) ? MOD_LEFT_SHIFT : 0;
    bits |= (sdlKeymod & KMOD_RSHIFT) ? MOD_RIGHT_SHIFT : 0;
    bits |= (sdlKeymod & KMOD_LCTRL) ? MOD_LEFT_CTRL : 0;
    bits |= (sdlKeymod & KMOD_RCTRL) ? MOD_RIGHT_CTRL : 0;
    bits |= (sdlKeymod & KMOD_LALT) ? MOD_LEFT_ALT : 0;
    bits |= (sdlKeymod & KMOD_RALT) ? MOD_RIGHT_ALT : 0;
    return bits;
}

uint32_t windowIdOf(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT: return event.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return event.key.windowID;
    case SDL_TEXTINPUT: return event.text.windowID;
    case SDL_MOUSEMOTION: return event.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return event.button.windowID;
    case SDL_MOUSEWHEEL: return event.wheel.windowID;
    default: {
        const UserEventTypes& user = userEventTypes();
        return (event.type == user.callee || event.type == user.message) ? event.user.windowID : 0;
    }
    }
}

void translateEvent(const SDL_Event& event, NativeWindow& target)
{
    const UserEventTypes& user = userEventTypes();
    if (event.type == user.callee) {
        target.inputCallee(static_cast<Callee<void>*>(event.user.data1));
        return;
    }
    if (event.type == user.message) {
        target.inputUserMessage(reinterpret_cast<uintptr_t>(event.user.data1),
                                reinterpret_cast<intptr_t>(event.user.data2));
        return;
    }
    switch (event.type) {
    // SDL's answer to SIGINT/SIGTERM (the last window closing does not send it: see SdlVideo).
    case SDL_QUIT: target.inputCloseRequest(); break;
    case SDL_WINDOWEVENT: translateWindowEvent(event.window, target); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: translateKey(event.key, target); break;
    case SDL_TEXTINPUT: translateText(event.text.text, target); break;
    case SDL_MOUSEMOTION: target.inputMouseMove(event.motion.x, event.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        target.inputMouseButton(buttonOf(event.button.button), event.type == SDL_MOUSEBUTTONDOWN, event.button.x,
                                event.button.y);
        break;
    case SDL_MOUSEWHEEL: translateWheel(event.wheel, target); break;
    default: break;
    }
}

} // namespace orvex::sdl
