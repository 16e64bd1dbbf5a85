// Win32KeyTables: the virtual-key and scan-code tables. Scan codes are PS/2 set-1 codes as
// Windows reports them in bits 16-23 of a key message, with bit 24 for the E0 prefix; virtual
// keys are what the layout makes of the key. Both Shift positions share "Shift (either)" in the
// scan table, and Windows itself reports VK_SHIFT for either: the sided Shift codes only come
// from VK_LSHIFT / VK_RSHIFT, which key messages never carry.
#include "engine/window/win32/Win32KeyTables.h"

#include "engine/window/KeyCodes.h"

#include <array>

namespace orvex::win32 {

namespace {

using Table = std::array<uint8_t, 256>;

struct CodePair {
    int native;
    int engine;
};

// Set-1 codes of A-Z, and of 1-9 then 0 (the row's order on the keyboard).
constexpr uint8_t letterScanCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                         49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
constexpr uint8_t keypadDigitScanCodes[10] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73}; // keypad 0-9

constexpr int extended = 0x80;

constexpr CodePair scanCodes[] = {
    {11, KEY_0}, {57, KEY_SPACE}, {28, KEY_ENTER}, {1, KEY_ESCAPE}, {14, KEY_BACKSPACE}, {15, KEY_TAB},
    {39, KEY_SEMICOLON}, {13, KEY_EQUALS}, {51, KEY_COMMA}, {12, KEY_MINUS}, {52, KEY_PERIOD}, {53, KEY_SLASH},
    {41, KEY_GRAVE}, {26, KEY_LEFT_BRACKET}, {43, KEY_BACKSLASH}, {27, KEY_RIGHT_BRACKET}, {40, KEY_APOSTROPHE},
    {42, KEY_SHIFT}, {54, KEY_SHIFT}, {29, KEY_LEFT_CTRL}, {extended | 29, KEY_RIGHT_CTRL},
    {56, KEY_LEFT_ALT}, {extended | 56, KEY_RIGHT_ALT}, {extended | 91, KEY_LEFT_SYSTEM},
    {extended | 92, KEY_RIGHT_SYSTEM}, {extended | 82, KEY_INSERT}, {extended | 83, KEY_DELETE},
    {extended | 71, KEY_HOME}, {extended | 79, KEY_END}, {extended | 73, KEY_PAGE_UP},
    {extended | 81, KEY_PAGE_DOWN}, {extended | 75, KEY_LEFT}, {extended | 72, KEY_UP},
    {extended | 77, KEY_RIGHT}, {extended | 80, KEY_DOWN}, {69, KEY_PAUSE},
    // Print Screen is E0 37 alone and 54 (SysRq) with Alt held.
    {extended | 55, KEY_PRINT_SCREEN}, {84, KEY_PRINT_SCREEN}, {extended | 93, KEY_MENU},
    {87, KEY_F11}, {88, KEY_F12}, {83, KEY_KEYPAD_DECIMAL}, {78, KEY_KEYPAD_PLUS}, {74, KEY_KEYPAD_MINUS},
    {55, KEY_KEYPAD_MULTIPLY}, {extended | 53, KEY_KEYPAD_DIVIDE}, {extended | 28, KEY_KEYPAD_ENTER},
    // Num Lock shares 45 with Pause; Windows marks it extended.
    {extended | 69, KEY_NUM_LOCK}, {58, KEY_CAPS_LOCK}, {70, KEY_SCROLL_LOCK}, {86, KEY_OEM_102},
};

constexpr CodePair virtualKeys[] = {
    {0x20, KEY_SPACE}, {0x0D, KEY_ENTER}, {0x1B, KEY_ESCAPE}, {0x08, KEY_BACKSPACE}, {0x09, KEY_TAB},
    {0xBA, KEY_SEMICOLON}, {0xBB, KEY_EQUALS}, {0xBC, KEY_COMMA}, {0xBD, KEY_MINUS}, {0xBE, KEY_PERIOD},
    {0xBF, KEY_SLASH}, {0xC0, KEY_GRAVE}, {0xDB, KEY_LEFT_BRACKET}, {0xDC, KEY_BACKSLASH},
    {0xDD, KEY_RIGHT_BRACKET}, {0xDE, KEY_APOSTROPHE}, {0x10, KEY_SHIFT}, {0xA0, KEY_LEFT_SHIFT},
    {0xA1, KEY_RIGHT_SHIFT}, {0x11, KEY_CTRL}, {0xA2, KEY_LEFT_CTRL}, {0xA3, KEY_RIGHT_CTRL}, {0x12, KEY_ALT},
    {0xA4, KEY_LEFT_ALT}, {0xA5, KEY_RIGHT_ALT}, {0x5B, KEY_LEFT_SYSTEM}, {0x5C, KEY_RIGHT_SYSTEM},
    {0x2D, KEY_INSERT}, {0x2E, KEY_DELETE}, {0x24, KEY_HOME}, {0x23, KEY_END}, {0x21, KEY_PAGE_UP},
    {0x22, KEY_PAGE_DOWN}, {0x25, KEY_LEFT}, {0x26, KEY_UP}, {0x27, KEY_RIGHT}, {0x28, KEY_DOWN},
    {0x13, KEY_PAUSE}, {0x2C, KEY_PRINT_SCREEN}, {0x5D, KEY_MENU}, {0x6E, KEY_KEYPAD_DECIMAL},
    {0x6B, KEY_KEYPAD_PLUS}, {0x6D, KEY_KEYPAD_MINUS}, {0x6A, KEY_KEYPAD_MULTIPLY}, {0x6F, KEY_KEYPAD_DIVIDE},
    {0x90, KEY_NUM_LOCK}, {0x14, KEY_CAPS_LOCK}, {0x91, KEY_SCROLL_LOCK}, {0xE2, KEY_OEM_102},
};

constexpr Table buildScanTable()
{
    Table table{};
    for (int i = 0; i < 26; ++i)
        table[letterScanCodes[i]] = uint8_t(KEY_A + i);
    for (int i = 0; i < 9; ++i)
        table[2 + i] = uint8_t(KEY_1 + i);
    for (int i = 0; i < 10; ++i) // F1-F10 are 59-68
        table[59 + i] = uint8_t(KEY_F1 + i);
    for (int i = 0; i < 10; ++i)
        table[keypadDigitScanCodes[i]] = uint8_t(KEY_KEYPAD_0 + i);
    for (const CodePair& pair : scanCodes)
        table[pair.native] = uint8_t(pair.engine);
    return table;
}

constexpr Table buildVirtualKeyTable()
{
    Table table{};
    for (int i = 0; i < 26; ++i)
        table['A' + i] = uint8_t(KEY_A + i);
    for (int i = 0; i < 10; ++i)
        table['0' + i] = uint8_t(KEY_0 + i);
    for (int i = 0; i < 16; ++i) // VK_F1 (0x70) to VK_F16
        table[0x70 + i] = uint8_t(KEY_F1 + i);
    for (int i = 0; i < 10; ++i) // VK_NUMPAD0 (0x60) to VK_NUMPAD9
        table[0x60 + i] = uint8_t(KEY_KEYPAD_0 + i);
    for (const CodePair& pair : virtualKeys)
        table[pair.native] = uint8_t(pair.engine);
    return table;
}

constexpr Table scanTable = buildScanTable();
constexpr Table virtualKeyTable = buildVirtualKeyTable();

} // namespace

int scanKeyOfIndex(int index) { return (index >= 0 && index < 256) ? scanTable[index] : 0; }

int keyOfVirtualKey(int virtualKey) { return (virtualKey >= 0 && virtualKey < 256) ? virtualKeyTable[virtualKey] : 0; }

KeyCodes keyCodesOf(uint64_t wParam, int64_t lParam)
{
    const bool isExtended = (lParam >> 24) & 1;
    KeyCodes codes;
    codes.scanKey = scanTable[((lParam >> 17) & 0x80) | ((lParam >> 16) & 0x7F)];
    codes.key = virtualKeyTable[wParam & 0xFF];
    // Key messages name Enter, Ctrl and Alt without their side; the extended flag tells the
    // keypad Enter and the right-hand Ctrl and Alt apart.
    switch (codes.key) {
    case KEY_ENTER: codes.key = isExtended ? KEY_KEYPAD_ENTER : KEY_ENTER; break;
    case KEY_CTRL: codes.key = isExtended ? KEY_RIGHT_CTRL : KEY_LEFT_CTRL; break;
    case KEY_ALT: codes.key = isExtended ? KEY_RIGHT_ALT : KEY_LEFT_ALT; break;
    default: break;
    }
    return codes;
}

} // namespace orvex::win32
