// SdlInput: SDL2 backend, the translation of SDL events into the shared NativeWindow's input*()
// calls, and the code tables behind it. Pure functions of the event (plus SDL's own modifier
// state on focus gain), so tests can feed synthetic SDL_Event structs without a display.
// Pairs with SdlNativeWindow, which routes each event to its window. Main thread only.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace orvex {
class NativeWindow;
}

namespace orvex::sdl {

// The SDL event types that carry a posted Callee<void>* (user.data1) and a user message
// (code in user.data1, value in user.data2), registered once per process.
struct UserEventTypes {
    uint32_t callee;
    uint32_t message;
};
const UserEventTypes& userEventTypes();

// Engine key codes (KeyCodes.h), 0 for keys the engine does not name (SdlKeyTables.cpp).
int scanKeyOf(SDL_Scancode scancode); // by physical position
int keyOf(SDL_Keycode keycode);       // by the layout's virtual key
// Engine mouse button 1-7 for an SDL button, 0 for none.
int buttonOf(int sdlButton);
// ModifierBit set of SDL's modifier state (Shift, Ctrl and Alt, each side).
int modifierBitsOf(int sdlKeymod);
// The window an event is addressed to, 0 when it names none.
uint32_t windowIdOf(const SDL_Event& event);

// Feeds one event into `target`. Events of types the engine does not use are ignored.
void translateEvent(const SDL_Event& event, NativeWindow& target);

} // namespace orvex::sdl
