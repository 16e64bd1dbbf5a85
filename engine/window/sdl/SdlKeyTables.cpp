// SdlKeyTables: SDL2 backend, SDL scancodes and keycodes to engine key codes 1-113.
// Scancodes name a physical position (USB usage), so they map to the position codes (scanKey);
// keycodes are what the layout makes of the key, so they map to the virtual-key codes (key).
// As in the position table, both Shift positions are "Shift (either)" 53; the keycodes tell
// left (54) from right (55).
#include "engine/window/sdl/SdlInput.h"

#include "engine/window/KeyCodes.h"

#include <array>
#include <cstdint>

namespace orvex::sdl {

namespace {

struct CodePair {
    int sdl;
    int engine;
};

// Keys that are scancodes in SDL's keycode space too (SDLK_x == scancode x | SDLK_SCANCODE_MASK)
// and mean the same key both ways.
constexpr CodePair sharedNonCharacterKeys[] = {
    {SDL_SCANCODE_LCTRL, KEY_LEFT_CTRL}, {SDL_SCANCODE_RCTRL, KEY_RIGHT_CTRL},
    {SDL_SCANCODE_LALT, KEY_LEFT_ALT}, {SDL_SCANCODE_RALT, KEY_RIGHT_ALT},
    {SDL_SCANCODE_LGUI, KEY_LEFT_SYSTEM}, {SDL_SCANCODE_RGUI, KEY_RIGHT_SYSTEM},
    {SDL_SCANCODE_INSERT, KEY_INSERT}, {SDL_SCANCODE_HOME, KEY_HOME}, {SDL_SCANCODE_END, KEY_END},
    {SDL_SCANCODE_PAGEUP, KEY_PAGE_UP}, {SDL_SCANCODE_PAGEDOWN, KEY_PAGE_DOWN},
    {SDL_SCANCODE_LEFT, KEY_LEFT}, {SDL_SCANCODE_UP, KEY_UP}, {SDL_SCANCODE_RIGHT, KEY_RIGHT},
    {SDL_SCANCODE_DOWN, KEY_DOWN}, {SDL_SCANCODE_PAUSE, KEY_PAUSE}, {SDL_SCANCODE_PRINTSCREEN, KEY_PRINT_SCREEN},
    {SDL_SCANCODE_SYSREQ, KEY_PRINT_SCREEN}, {SDL_SCANCODE_APPLICATION, KEY_MENU},
    {SDL_SCANCODE_KP_PERIOD, KEY_KEYPAD_DECIMAL}, {SDL_SCANCODE_KP_PLUS, KEY_KEYPAD_PLUS},
    {SDL_SCANCODE_KP_MINUS, KEY_KEYPAD_MINUS}, {SDL_SCANCODE_KP_MULTIPLY, KEY_KEYPAD_MULTIPLY},
    {SDL_SCANCODE_KP_DIVIDE, KEY_KEYPAD_DIVIDE}, {SDL_SCANCODE_KP_ENTER, KEY_KEYPAD_ENTER},
    {SDL_SCANCODE_NUMLOCKCLEAR, KEY_NUM_LOCK}, {SDL_SCANCODE_CAPSLOCK, KEY_CAPS_LOCK},
    {SDL_SCANCODE_SCROLLLOCK, KEY_SCROLL_LOCK},
};

// Character keys by position, with the ASCII keycode that names the same key on a US layout.
struct CharacterKey {
    SDL_Scancode scancode;
    char character;
    int engine;
};
constexpr CharacterKey characterKeys[] = {
    {SDL_SCANCODE_SPACE, ' ', KEY_SPACE}, {SDL_SCANCODE_RETURN, '\r', KEY_ENTER},
    {SDL_SCANCODE_ESCAPE, '\x1B', KEY_ESCAPE}, {SDL_SCANCODE_BACKSPACE, '\b', KEY_BACKSPACE},
    {SDL_SCANCODE_TAB, '\t', KEY_TAB}, {SDL_SCANCODE_SEMICOLON, ';', KEY_SEMICOLON},
    {SDL_SCANCODE_EQUALS, '=', KEY_EQUALS}, {SDL_SCANCODE_COMMA, ',', KEY_COMMA},
    {SDL_SCANCODE_MINUS, '-', KEY_MINUS}, {SDL_SCANCODE_PERIOD, '.', KEY_PERIOD},
    {SDL_SCANCODE_SLASH, '/', KEY_SLASH}, {SDL_SCANCODE_GRAVE, '`', KEY_GRAVE},
    {SDL_SCANCODE_LEFTBRACKET, '[', KEY_LEFT_BRACKET}, {SDL_SCANCODE_BACKSLASH, '\\', KEY_BACKSLASH},
    {SDL_SCANCODE_RIGHTBRACKET, ']', KEY_RIGHT_BRACKET}, {SDL_SCANCODE_APOSTROPHE, '\'', KEY_APOSTROPHE},
    {SDL_SCANCODE_DELETE, '\x7F', KEY_DELETE}, {SDL_SCANCODE_NONUSBACKSLASH, '<', KEY_OEM_102},
};

using Table = std::array<uint8_t, SDL_NUM_SCANCODES>;

constexpr Table buildScanTable()
{
    Table table{};
    for (int i = 0; i < 26; ++i)
        table[SDL_SCANCODE_A + i] = uint8_t(KEY_A + i);
    for (int i = 0; i < 9; ++i)
        table[SDL_SCANCODE_1 + i] = uint8_t(KEY_1 + i);
    table[SDL_SCANCODE_0] = KEY_0;
    for (int i = 0; i < 12; ++i)
        table[SDL_SCANCODE_F1 + i] = uint8_t(KEY_F1 + i);
    for (int i = 0; i < 9; ++i)
        table[SDL_SCANCODE_KP_1 + i] = uint8_t(KEY_KEYPAD_1 + i);
    table[SDL_SCANCODE_KP_0] = KEY_KEYPAD_0;
    for (const CodePair& pair : sharedNonCharacterKeys)
        table[pair.sdl] = uint8_t(pair.engine);
    for (const CharacterKey& key : characterKeys)
        table[key.scancode] = uint8_t(key.engine);
    // The position table has one Shift code for both sides, and no F13-F16.
    table[SDL_SCANCODE_LSHIFT] = KEY_SHIFT;
    table[SDL_SCANCODE_RSHIFT] = KEY_SHIFT;
    // ISO keyboards' key left of Enter sits where the backslash key does.
    table[SDL_SCANCODE_NONUSHASH] = KEY_BACKSLASH;
    return table;
}

// Keycodes with SDLK_SCANCODE_MASK set, indexed by the scancode part.
constexpr Table buildNonCharacterKeyTable()
{
    Table table{};
    for (int i = 0; i < 12; ++i)
        table[SDL_SCANCODE_F1 + i] = uint8_t(KEY_F1 + i);
    for (int i = 0; i < 4; ++i)
        table[SDL_SCANCODE_F13 + i] = uint8_t(KEY_F13 + i);
    for (int i = 0; i < 9; ++i)
        table[SDL_SCANCODE_KP_1 + i] = uint8_t(KEY_KEYPAD_1 + i);
    table[SDL_SCANCODE_KP_0] = KEY_KEYPAD_0;
    for (const CodePair& pair : sharedNonCharacterKeys)
        table[pair.sdl] = uint8_t(pair.engine);
    table[SDL_SCANCODE_LSHIFT] = KEY_LEFT_SHIFT;
    table[SDL_SCANCODE_RSHIFT] = KEY_RIGHT_SHIFT;
    // X11 layouts with AltGr report it as the mode switch key.
    table[SDL_SCANCODE_MODE] = KEY_RIGHT_ALT;
    return table;
}

// Keycodes below 128 (ASCII; SDL uses lower-case letters).
constexpr std::array<uint8_t, 128> buildCharacterKeyTable()
{
    std::array<uint8_t, 128> table{};
    for (int i = 0; i < 26; ++i)
        table['a' + i] = uint8_t(KEY_A + i);
    for (int i = 0; i < 10; ++i)
        table['0' + i] = uint8_t(KEY_0 + i);
    for (const CharacterKey& key : characterKeys)
        table[uint8_t(key.character)] = uint8_t(key.engine);
    return table;
}

constexpr Table scanTable = buildScanTable();
constexpr Table nonCharacterKeyTable = buildNonCharacterKeyTable();
constexpr std::array<uint8_t, 128> characterKeyTable = buildCharacterKeyTable();

} // namespace

int scanKeyOf(SDL_Scancode scancode)
{
    return (scancode >= 0 && scancode < SDL_NUM_SCANCODES) ? scanTable[scancode] : 0;
}

int keyOf(SDL_Keycode keycode)
{
    if (keycode & SDLK_SCANCODE_MASK) {
        const int scancode = keycode & ~SDLK_SCANCODE_MASK;
        return (scancode >= 0 && scancode < SDL_NUM_SCANCODES) ? nonCharacterKeyTable[scancode] : 0;
    }
    return (keycode >= 0 && keycode < 128) ? characterKeyTable[keycode] : 0;
}

} // namespace orvex::sdl
