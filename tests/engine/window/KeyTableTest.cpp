// The Windows key tables against one list of physical keys (USB HID usage, PS/2 set-1 scan code,
// the US layout's virtual key and character): the same key must give the same engine codes on
// every platform. The Windows tables are plain data, so this builds everywhere; where the SDL
// backend is linked (VELBRIN_TEST_SDL_KEYS), its tables are checked against the same rows, which
// makes the two platforms agree key by key.
#include "engine/window/KeyCodes.h"
#include "engine/window/win32/Win32KeyTables.h"

#ifdef VELBRIN_TEST_SDL_KEYS
#include "engine/window/sdl/SdlInput.h"
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace orvex {
namespace {

constexpr int E0 = 0x80; // the extended flag's place in a scan-table index

struct PhysicalKey {
    const char* name;
    int usage;       // USB HID keyboard usage (SDL's scancode)
    int scanIndex;   // set-1 scan code & 0x7F, plus E0 for extended keys (as Windows reports it)
    int virtualKey;  // what a key message carries for it on a US layout
    char character;  // SDL's keycode on a US layout when it is a character, else 0
    int position;    // engine code by position
    int key;         // engine code by virtual key
};

// clang-format off
constexpr PhysicalKey physicalKeys[] = {
    {"A", 0x04, 0x1E, 'A', 'a', KEY_A, KEY_A}, {"B", 0x05, 0x30, 'B', 'b', KEY_B, KEY_B},
    {"C", 0x06, 0x2E, 'C', 'c', KEY_C, KEY_C}, {"D", 0x07, 0x20, 'D', 'd', KEY_D, KEY_D},
    {"E", 0x08, 0x12, 'E', 'e', KEY_E, KEY_E}, {"F", 0x09, 0x21, 'F', 'f', KEY_F, KEY_F},
    {"G", 0x0A, 0x22, 'G', 'g', KEY_G, KEY_G}, {"H", 0x0B, 0x23, 'H', 'h', KEY_H, KEY_H},
    {"I", 0x0C, 0x17, 'I', 'i', KEY_I, KEY_I}, {"J", 0x0D, 0x24, 'J', 'j', KEY_J, KEY_J},
    {"K", 0x0E, 0x25, 'K', 'k', KEY_K, KEY_K}, {"L", 0x0F, 0x26, 'L', 'l', KEY_L, KEY_L},
    {"M", 0x10, 0x32, 'M', 'm', KEY_M, KEY_M}, {"N", 0x11, 0x31, 'N', 'n', KEY_N, KEY_N},
    {"O", 0x12, 0x18, 'O', 'o', KEY_O, KEY_O}, {"P", 0x13, 0x19, 'P', 'p', KEY_P, KEY_P},
    {"Q", 0x14, 0x10, 'Q', 'q', KEY_Q, KEY_Q}, {"R", 0x15, 0x13, 'R', 'r', KEY_R, KEY_R},
    {"S", 0x16, 0x1F, 'S', 's', KEY_S, KEY_S}, {"T", 0x17, 0x14, 'T', 't', KEY_T, KEY_T},
    {"U", 0x18, 0x16, 'U', 'u', KEY_U, KEY_U}, {"V", 0x19, 0x2F, 'V', 'v', KEY_V, KEY_V},
    {"W", 0x1A, 0x11, 'W', 'w', KEY_W, KEY_W}, {"X", 0x1B, 0x2D, 'X', 'x', KEY_X, KEY_X},
    {"Y", 0x1C, 0x15, 'Y', 'y', KEY_Y, KEY_Y}, {"Z", 0x1D, 0x2C, 'Z', 'z', KEY_Z, KEY_Z},
    {"1", 0x1E, 0x02, '1', '1', KEY_1, KEY_1}, {"2", 0x1F, 0x03, '2', '2', KEY_2, KEY_2},
    {"3", 0x20, 0x04, '3', '3', KEY_3, KEY_3}, {"4", 0x21, 0x05, '4', '4', KEY_4, KEY_4},
    {"5", 0x22, 0x06, '5', '5', KEY_5, KEY_5}, {"6", 0x23, 0x07, '6', '6', KEY_6, KEY_6},
    {"7", 0x24, 0x08, '7', '7', KEY_7, KEY_7}, {"8", 0x25, 0x09, '8', '8', KEY_8, KEY_8},
    {"9", 0x26, 0x0A, '9', '9', KEY_9, KEY_9}, {"0", 0x27, 0x0B, '0', '0', KEY_0, KEY_0},
    {"Enter", 0x28, 0x1C, 0x0D, '\r', KEY_ENTER, KEY_ENTER},
    {"Escape", 0x29, 0x01, 0x1B, '\x1B', KEY_ESCAPE, KEY_ESCAPE},
    {"Backspace", 0x2A, 0x0E, 0x08, '\b', KEY_BACKSPACE, KEY_BACKSPACE},
    {"Tab", 0x2B, 0x0F, 0x09, '\t', KEY_TAB, KEY_TAB},
    {"Space", 0x2C, 0x39, 0x20, ' ', KEY_SPACE, KEY_SPACE},
    {"-", 0x2D, 0x0C, 0xBD, '-', KEY_MINUS, KEY_MINUS}, {"=", 0x2E, 0x0D, 0xBB, '=', KEY_EQUALS, KEY_EQUALS},
    {"[", 0x2F, 0x1A, 0xDB, '[', KEY_LEFT_BRACKET, KEY_LEFT_BRACKET},
    {"]", 0x30, 0x1B, 0xDD, ']', KEY_RIGHT_BRACKET, KEY_RIGHT_BRACKET},
    {"\\", 0x31, 0x2B, 0xDC, '\\', KEY_BACKSLASH, KEY_BACKSLASH},
    // ISO keyboards' key left of Enter: the backslash key's place and scan code.
    {"non-US #", 0x32, 0x2B, 0xDC, '\\', KEY_BACKSLASH, KEY_BACKSLASH},
    {";", 0x33, 0x27, 0xBA, ';', KEY_SEMICOLON, KEY_SEMICOLON},
    {"'", 0x34, 0x28, 0xDE, '\'', KEY_APOSTROPHE, KEY_APOSTROPHE},
    {"`", 0x35, 0x29, 0xC0, '`', KEY_GRAVE, KEY_GRAVE}, {",", 0x36, 0x33, 0xBC, ',', KEY_COMMA, KEY_COMMA},
    {".", 0x37, 0x34, 0xBE, '.', KEY_PERIOD, KEY_PERIOD}, {"/", 0x38, 0x35, 0xBF, '/', KEY_SLASH, KEY_SLASH},
    {"Caps Lock", 0x39, 0x3A, 0x14, 0, KEY_CAPS_LOCK, KEY_CAPS_LOCK},
    {"F1", 0x3A, 0x3B, 0x70, 0, KEY_F1, KEY_F1}, {"F2", 0x3B, 0x3C, 0x71, 0, KEY_F2, KEY_F2},
    {"F3", 0x3C, 0x3D, 0x72, 0, KEY_F3, KEY_F3}, {"F4", 0x3D, 0x3E, 0x73, 0, KEY_F4, KEY_F4},
    {"F5", 0x3E, 0x3F, 0x74, 0, KEY_F5, KEY_F5}, {"F6", 0x3F, 0x40, 0x75, 0, KEY_F6, KEY_F6},
    {"F7", 0x40, 0x41, 0x76, 0, KEY_F7, KEY_F7}, {"F8", 0x41, 0x42, 0x77, 0, KEY_F8, KEY_F8},
    {"F9", 0x42, 0x43, 0x78, 0, KEY_F9, KEY_F9}, {"F10", 0x43, 0x44, 0x79, 0, KEY_F10, KEY_F10},
    {"F11", 0x44, 0x57, 0x7A, 0, KEY_F11, KEY_F11}, {"F12", 0x45, 0x58, 0x7B, 0, KEY_F12, KEY_F12},
    {"Print Screen", 0x46, E0 | 0x37, 0x2C, 0, KEY_PRINT_SCREEN, KEY_PRINT_SCREEN},
    {"Scroll Lock", 0x47, 0x46, 0x91, 0, KEY_SCROLL_LOCK, KEY_SCROLL_LOCK},
    // Pause sends E1 1D 45; Windows reports it as 45 and Num Lock, which shares 45, as E0 45.
    {"Pause", 0x48, 0x45, 0x13, 0, KEY_PAUSE, KEY_PAUSE},
    {"Insert", 0x49, E0 | 0x52, 0x2D, 0, KEY_INSERT, KEY_INSERT},
    {"Home", 0x4A, E0 | 0x47, 0x24, 0, KEY_HOME, KEY_HOME},
    {"Page Up", 0x4B, E0 | 0x49, 0x21, 0, KEY_PAGE_UP, KEY_PAGE_UP},
    {"Delete", 0x4C, E0 | 0x53, 0x2E, '\x7F', KEY_DELETE, KEY_DELETE},
    {"End", 0x4D, E0 | 0x4F, 0x23, 0, KEY_END, KEY_END},
    {"Page Down", 0x4E, E0 | 0x51, 0x22, 0, KEY_PAGE_DOWN, KEY_PAGE_DOWN},
    {"Right", 0x4F, E0 | 0x4D, 0x27, 0, KEY_RIGHT, KEY_RIGHT},
    {"Left", 0x50, E0 | 0x4B, 0x25, 0, KEY_LEFT, KEY_LEFT},
    {"Down", 0x51, E0 | 0x50, 0x28, 0, KEY_DOWN, KEY_DOWN}, {"Up", 0x52, E0 | 0x48, 0x26, 0, KEY_UP, KEY_UP},
    {"Num Lock", 0x53, E0 | 0x45, 0x90, 0, KEY_NUM_LOCK, KEY_NUM_LOCK},
    {"keypad /", 0x54, E0 | 0x35, 0x6F, 0, KEY_KEYPAD_DIVIDE, KEY_KEYPAD_DIVIDE},
    {"keypad *", 0x55, 0x37, 0x6A, 0, KEY_KEYPAD_MULTIPLY, KEY_KEYPAD_MULTIPLY},
    {"keypad -", 0x56, 0x4A, 0x6D, 0, KEY_KEYPAD_MINUS, KEY_KEYPAD_MINUS},
    {"keypad +", 0x57, 0x4E, 0x6B, 0, KEY_KEYPAD_PLUS, KEY_KEYPAD_PLUS},
    {"keypad Enter", 0x58, E0 | 0x1C, 0x0D, 0, KEY_KEYPAD_ENTER, KEY_KEYPAD_ENTER},
    {"keypad 1", 0x59, 0x4F, 0x61, 0, KEY_KEYPAD_1, KEY_KEYPAD_1},
    {"keypad 2", 0x5A, 0x50, 0x62, 0, KEY_KEYPAD_2, KEY_KEYPAD_2},
    {"keypad 3", 0x5B, 0x51, 0x63, 0, KEY_KEYPAD_3, KEY_KEYPAD_3},
    {"keypad 4", 0x5C, 0x4B, 0x64, 0, KEY_KEYPAD_4, KEY_KEYPAD_4},
    {"keypad 5", 0x5D, 0x4C, 0x65, 0, KEY_KEYPAD_5, KEY_KEYPAD_5},
    {"keypad 6", 0x5E, 0x4D, 0x66, 0, KEY_KEYPAD_6, KEY_KEYPAD_6},
    {"keypad 7", 0x5F, 0x47, 0x67, 0, KEY_KEYPAD_7, KEY_KEYPAD_7},
    {"keypad 8", 0x60, 0x48, 0x68, 0, KEY_KEYPAD_8, KEY_KEYPAD_8},
    {"keypad 9", 0x61, 0x49, 0x69, 0, KEY_KEYPAD_9, KEY_KEYPAD_9},
    {"keypad 0", 0x62, 0x52, 0x60, 0, KEY_KEYPAD_0, KEY_KEYPAD_0},
    {"keypad .", 0x63, 0x53, 0x6E, 0, KEY_KEYPAD_DECIMAL, KEY_KEYPAD_DECIMAL},
    {"non-US \\ (left of Z)", 0x64, 0x56, 0xE2, '<', KEY_OEM_102, KEY_OEM_102},
    {"Menu", 0x65, E0 | 0x5D, 0x5D, 0, KEY_MENU, KEY_MENU},
    // F13-F16 have no code by position.
    {"F13", 0x68, 0x64, 0x7C, 0, KEY_NONE, KEY_F13}, {"F14", 0x69, 0x65, 0x7D, 0, KEY_NONE, KEY_F14},
    {"F15", 0x6A, 0x66, 0x7E, 0, KEY_NONE, KEY_F15}, {"F16", 0x6B, 0x67, 0x7F, 0, KEY_NONE, KEY_F16},
    // Alt + Print Screen.
    {"SysRq", 0x9A, 0x54, 0x2C, 0, KEY_PRINT_SCREEN, KEY_PRINT_SCREEN},
    {"left Ctrl", 0xE0, 0x1D, 0x11, 0, KEY_LEFT_CTRL, KEY_LEFT_CTRL},
    {"left Shift", 0xE1, 0x2A, 0x10, 0, KEY_SHIFT, KEY_LEFT_SHIFT},
    {"left Alt", 0xE2, 0x38, 0x12, 0, KEY_LEFT_ALT, KEY_LEFT_ALT},
    {"left system", 0xE3, E0 | 0x5B, 0x5B, 0, KEY_LEFT_SYSTEM, KEY_LEFT_SYSTEM},
    {"right Ctrl", 0xE4, E0 | 0x1D, 0x11, 0, KEY_RIGHT_CTRL, KEY_RIGHT_CTRL},
    {"right Shift", 0xE5, 0x36, 0x10, 0, KEY_SHIFT, KEY_RIGHT_SHIFT},
    {"right Alt", 0xE6, E0 | 0x38, 0x12, 0, KEY_RIGHT_ALT, KEY_RIGHT_ALT},
    {"right system", 0xE7, E0 | 0x5C, 0x5C, 0, KEY_RIGHT_SYSTEM, KEY_RIGHT_SYSTEM},
};
// clang-format on

// Key messages carry VK_SHIFT for either Shift key, so Windows names only "Shift (either)".
int windowsKeyOf(const PhysicalKey& row)
{
    return (row.key == KEY_LEFT_SHIFT || row.key == KEY_RIGHT_SHIFT) ? int(KEY_SHIFT) : row.key;
}

// The lParam of a key-down message for the row's key: scan code in bits 16-23, extended bit 24.
int64_t keyDownLParam(const PhysicalKey& row)
{
    return 1 | (int64_t(row.scanIndex & 0x7F) << 16) | (int64_t((row.scanIndex & E0) ? 1 : 0) << 24);
}

TEST(KeyTableTest, EveryPhysicalKeyGivesItsCodesOnWindows)
{
    for (const PhysicalKey& row : physicalKeys) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(win32::scanKeyOfIndex(row.scanIndex), row.position);
        const win32::KeyCodes codes = win32::keyCodesOf(uint64_t(row.virtualKey), keyDownLParam(row));
        EXPECT_EQ(codes.scanKey, row.position);
        EXPECT_EQ(codes.key, windowsKeyOf(row));
    }
}

TEST(KeyTableTest, WindowsTablesNameNoKeyOutsideTheList)
{
    std::set<int> listedScans, listedVirtualKeys;
    for (const PhysicalKey& row : physicalKeys) {
        listedScans.insert(row.scanIndex);
        listedVirtualKeys.insert(row.virtualKey);
    }
    // VK_LSHIFT ... VK_RMENU: known to the table, though key messages carry the unsided keys.
    for (int sided = 0xA0; sided <= 0xA5; ++sided)
        listedVirtualKeys.insert(sided);
    for (int index = 0; index < 256; ++index) {
        if (win32::scanKeyOfIndex(index)) {
            EXPECT_TRUE(listedScans.count(index)) << "scan index " << index;
        }
        if (win32::keyOfVirtualKey(index)) {
            EXPECT_TRUE(listedVirtualKeys.count(index)) << "virtual key " << index;
        }
    }
    EXPECT_EQ(win32::keyOfVirtualKey(0xA0), KEY_LEFT_SHIFT);
    EXPECT_EQ(win32::keyOfVirtualKey(0xA5), KEY_RIGHT_ALT);
}

TEST(KeyTableTest, EveryEngineKeyIsReachable)
{
    // Every code 1-113 comes out of some key on some path, except 62, which names no key, and
    // the three "either side" codes of Ctrl and Alt, which key messages always resolve.
    std::set<int> produced;
    for (const PhysicalKey& row : physicalKeys) {
        produced.insert(row.position);
        produced.insert(row.key);
        produced.insert(windowsKeyOf(row));
    }
    for (int code = 1; code <= KEY_LAST; ++code) {
        if (code == 62 || code == KEY_CTRL || code == KEY_ALT)
            continue;
        EXPECT_TRUE(produced.count(code)) << "engine key " << code;
    }
}

#ifdef VELBRIN_TEST_SDL_KEYS
TEST(KeyTableTest, LinuxAndWindowsAgreeOnEveryPhysicalKey)
{
    for (const PhysicalKey& row : physicalKeys) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(sdl::scanKeyOf(SDL_Scancode(row.usage)), row.position);
        EXPECT_EQ(sdl::scanKeyOf(SDL_Scancode(row.usage)), win32::scanKeyOfIndex(row.scanIndex));
        const SDL_Keycode keycode = row.character ? SDL_Keycode(row.character) : SDL_Keycode(row.usage | SDLK_SCANCODE_MASK);
        EXPECT_EQ(sdl::keyOf(keycode), row.key);
    }
}

TEST(KeyTableTest, LinuxPositionTableNamesNoKeyOutsideTheList)
{
    std::set<int> listed;
    for (const PhysicalKey& row : physicalKeys)
        listed.insert(row.usage);
    for (int usage = 0; usage < SDL_NUM_SCANCODES; ++usage)
        if (sdl::scanKeyOf(SDL_Scancode(usage))) {
            EXPECT_TRUE(listed.count(usage)) << "SDL scancode " << usage;
        }
}
#endif

} // namespace
} // namespace orvex
