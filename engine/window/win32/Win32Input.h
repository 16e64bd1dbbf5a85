// Win32Input: Win32 backend, the translation of input messages (keys, characters, mouse buttons,
// moves and the wheel) into the shared NativeWindow's input*() calls. Only a message's own
// wParam/lParam are read, so tests can feed synthetic messages to a window that does not exist.
// Window-state messages stay with Win32NativeWindow's procedure, which calls this first.
// Main thread only.
#pragma once

#include <cstdint>

namespace orvex {
class NativeWindow;
}

namespace orvex::win32 {

// What translation needs to remember between messages.
struct InputState {
    // A high surrogate whose low half has not arrived yet (WM_CHAR sends UTF-16 code units).
    char16_t pendingHighSurrogate = 0;
};

enum class InputResult {
    NOT_INPUT,     // not an input message: the caller handles it
    HANDLED,       // consumed: the window procedure returns 0
    PASS_THROUGH,  // reported, and the default procedure sees it too (system keys, menus)
};

// Engine mouse button (1-7) of a button message, 0 for none.
int buttonOf(unsigned message, uint64_t wParam);
// Wheel notches of WM_MOUSEWHEEL, positive when the wheel turns towards the user.
double wheelNotchesOf(uint64_t wParam);

// Feeds one message into `target`. For WM_MOUSEWHEEL, lParam must already hold the position in
// client coordinates (the message itself carries screen coordinates).
InputResult translateInput(NativeWindow& target, InputState& state, unsigned message, uint64_t wParam,
                           int64_t lParam);

} // namespace orvex::win32
