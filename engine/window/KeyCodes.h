// KeyCodes: the engine's key codes (1-113, 0 = no key) and modifier bits, the same on every
// platform. A KeyEvent carries two codes: scanKey names the key by its physical position,
// key by what the keyboard layout makes of it. Backends map their native codes onto these.
#pragma once

namespace orvex {

enum KeyCode : int {
    KEY_NONE = 0,
    KEY_A = 1, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z = 26,
    KEY_0 = 27, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9 = 36,
    KEY_SPACE = 37,
    KEY_ENTER = 38,
    KEY_ESCAPE = 39,
    KEY_BACKSPACE = 40,
    KEY_TAB = 41,
    KEY_SEMICOLON = 42, KEY_EQUALS, KEY_COMMA, KEY_MINUS, KEY_PERIOD, KEY_SLASH, KEY_GRAVE = 48,
    KEY_LEFT_BRACKET = 49, KEY_BACKSLASH, KEY_RIGHT_BRACKET, KEY_APOSTROPHE = 52,
    KEY_SHIFT = 53, // either Shift, where the platform cannot tell them apart
    KEY_LEFT_SHIFT = 54,
    KEY_RIGHT_SHIFT = 55,
    KEY_CTRL = 56, // either Ctrl
    KEY_LEFT_CTRL = 57,
    KEY_RIGHT_CTRL = 58,
    KEY_ALT = 59, // either Alt
    KEY_LEFT_ALT = 60,
    KEY_RIGHT_ALT = 61,
    KEY_LEFT_SYSTEM = 63, // the system (logo / super) keys
    KEY_RIGHT_SYSTEM = 64,
    KEY_INSERT = 65, KEY_DELETE, KEY_HOME, KEY_END, KEY_PAGE_UP, KEY_PAGE_DOWN = 70,
    KEY_LEFT = 71, KEY_UP, KEY_RIGHT, KEY_DOWN = 74,
    KEY_PAUSE = 75,
    KEY_PRINT_SCREEN = 76,
    KEY_MENU = 77, // the application key
    KEY_F1 = 78, KEY_F2, KEY_F3, KEY_F4, KEY_F5, KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12 = 89,
    KEY_F13 = 90, KEY_F14, KEY_F15, KEY_F16 = 93,
    KEY_KEYPAD_0 = 94, KEY_KEYPAD_1, KEY_KEYPAD_2, KEY_KEYPAD_3, KEY_KEYPAD_4, KEY_KEYPAD_5, KEY_KEYPAD_6,
    KEY_KEYPAD_7, KEY_KEYPAD_8, KEY_KEYPAD_9 = 103,
    KEY_KEYPAD_DECIMAL = 104,
    KEY_KEYPAD_PLUS = 105,
    KEY_KEYPAD_MINUS = 106,
    KEY_KEYPAD_MULTIPLY = 107,
    KEY_KEYPAD_DIVIDE = 108,
    KEY_KEYPAD_ENTER = 109,
    KEY_NUM_LOCK = 110,
    KEY_CAPS_LOCK = 111,
    KEY_SCROLL_LOCK = 112,
    KEY_OEM_102 = 113, // the extra key left of Z on ISO keyboards
    KEY_LAST = 113,
};

// Modifier bits of KeyEvent, MouseButtonEvent and MouseWheelEvent.
enum ModifierBit : int {
    MOD_LEFT_SHIFT = 0x1,
    MOD_RIGHT_SHIFT = 0x2,
    MOD_LEFT_CTRL = 0x4,
    MOD_RIGHT_CTRL = 0x8,
    MOD_LEFT_ALT = 0x10,
    MOD_RIGHT_ALT = 0x20,
    MOD_SHIFT = MOD_LEFT_SHIFT | MOD_RIGHT_SHIFT,
    MOD_CTRL = MOD_LEFT_CTRL | MOD_RIGHT_CTRL,
    MOD_ALT = MOD_LEFT_ALT | MOD_RIGHT_ALT,
    MOD_CTRL_EXTRA = 0xC00, // present whenever a Ctrl bit is set
};

} // namespace orvex
