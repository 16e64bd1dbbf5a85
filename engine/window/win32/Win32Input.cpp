// Win32Input: one flat switch from input messages to NativeWindow's input*() calls. WM_CHAR
// brings UTF-16 code units, so surrogate pairs are joined here into the code points the engine
// delivers; a lone surrogate is not text and is dropped.
#include "engine/window/win32/Win32Input.h"

#include "engine/window/NativeWindow.h"
#include "engine/window/win32/Win32KeyTables.h"

#include <windows.h>

namespace orvex::win32 {

namespace {

// Positions in lParam are signed 16-bit values: a captured pointer left of or above the client
// area reports negative coordinates.
int xOf(int64_t lParam) { return int(int16_t(uint16_t(lParam & 0xFFFF))); }
int yOf(int64_t lParam) { return int(int16_t(uint16_t((lParam >> 16) & 0xFFFF))); }

bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void translateCharacter(NativeWindow& target, InputState& state, char32_t unit)
{
    const char16_t high = state.pendingHighSurrogate;
    state.pendingHighSurrogate = 0;
    if (isHighSurrogate(unit)) {
        state.pendingHighSurrogate = char16_t(unit);
        return;
    }
    if (isLowSurrogate(unit)) {
        if (high)
            target.inputCharacter(0x10000 + ((char32_t(high) - 0xD800) << 10) + (unit - 0xDC00));
        return;
    }
    target.inputCharacter(unit);
}

void translateKey(NativeWindow& target, unsigned message, uint64_t wParam, int64_t lParam)
{
    const KeyCodes codes = keyCodesOf(wParam, lParam);
    const bool pressed = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const bool repeat = (lParam >> 30) & 1; // the key was down before this message
    // The system keeps Print Screen's key-down for itself and sends only the key-up: without a
    // press of its own the release would be dropped as one of a key never seen going down.
    if (!pressed && wParam == VK_SNAPSHOT)
        target.inputKey(codes.scanKey, codes.key, true, false);
    target.inputKey(codes.scanKey, codes.key, pressed, repeat);
}

} // namespace

int buttonOf(unsigned message, uint64_t wParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return 3;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        switch ((wParam >> 16) & 0xFFFF) {
        case 1: return 4; // XBUTTON1
        case 2: return 5; // XBUTTON2
        case 4: return 6;
        case 8: return 7;
        default: return 0;
        }
    default: return 0;
    }
}

double wheelNotchesOf(uint64_t wParam)
{
    // WHEEL_DELTA (120) per notch, positive away from the user; the engine counts towards.
    const int raw = int16_t(uint16_t((wParam >> 16) & 0xFFFF));
    return -double(raw) / WHEEL_DELTA;
}

InputResult translateInput(NativeWindow& target, InputState& state, unsigned message, uint64_t wParam, int64_t lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        translateKey(target, message, wParam, lParam);
        // F10 alone would put the window into the system menu's keyboard mode, which then eats the
        // following keys; the program uses Shift+F10 for its own menu. Alt and Alt+Space still open it.
        if (wParam == VK_F10)
            return InputResult::HANDLED;
        return InputResult::PASS_THROUGH; // Alt+F4 and the system menu keys still work
    case WM_CHAR:
        translateCharacter(target, state, char32_t(wParam & 0xFFFF));
        return InputResult::HANDLED;
    case WM_UNICHAR:
        // Code points from other programs' input methods; UNICODE_NOCHAR asks whether we take them.
        if (wParam != UNICODE_NOCHAR)
            target.inputCharacter(char32_t(wParam));
        return InputResult::HANDLED;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP: {
        const int button = buttonOf(message, wParam);
        if (!button)
            return InputResult::PASS_THROUGH;
        const bool pressed = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                             message == WM_MBUTTONDOWN || message == WM_XBUTTONDOWN;
        target.inputMouseButton(button, pressed, xOf(lParam), yOf(lParam));
        return InputResult::HANDLED;
    }
    case WM_MOUSEMOVE:
        target.inputMouseMove(xOf(lParam), yOf(lParam));
        return InputResult::HANDLED;
    case WM_MOUSEWHEEL:
        target.inputMouseWheel(wheelNotchesOf(wParam), xOf(lParam), yOf(lParam));
        return InputResult::HANDLED;
    default: return InputResult::NOT_INPUT;
    }
}

} // namespace orvex::win32
