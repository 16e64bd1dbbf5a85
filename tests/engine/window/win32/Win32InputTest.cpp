// Win32 input translation without a window: synthetic messages go through Win32Input into the
// shared bookkeeping of a Window whose native window is never made, and a recording Window shows
// which handler calls came out. What the shared half does with them (focus-loss release, zero
// moves) is covered by the SDL backend's tests on Linux; these cover what Windows does its own way.
#include "engine/window/NativeWindow.h"
#include "engine/window/Window.h"
#include "engine/window/win32/Win32Input.h"

#include <windows.h>

// winuser.h's hot-key flags take the names of the engine's modifier bits.
#undef MOD_ALT
#undef MOD_CONTROL
#undef MOD_SHIFT
#include "engine/window/KeyCodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvex {
namespace {

class RecordingWindow final : public Window {
public:
    std::vector<std::string> calls;

    void characterInput(char32_t code) override { calls.push_back("char " + std::to_string(unsigned(code))); }
    void keyPressed(const KeyEvent& e) override { calls.push_back("keyPressed " + describe(e)); }
    void keyReleased(const KeyEvent& e) override { calls.push_back("keyReleased " + describe(e)); }
    void mouseButtonPressed(const MouseButtonEvent& e) override { calls.push_back("pressed " + describe(e)); }
    void mouseButtonReleased(const MouseButtonEvent& e) override { calls.push_back("released " + describe(e)); }
    void mouseWheel(const MouseWheelEvent& e) override
    {
        calls.push_back("wheel " + std::to_string(e.delta).substr(0, 5) + " at " + std::to_string(int(e.x)) + "," +
                        std::to_string(int(e.y)));
    }

    static std::string describe(const KeyEvent& e)
    {
        return std::to_string(e.scanKey) + "/" + std::to_string(e.key) + " action " + std::to_string(e.action) +
               " mods " + std::to_string(e.modifiers);
    }
    static std::string describe(const MouseButtonEvent& e)
    {
        return std::to_string(e.button) + " at " + std::to_string(int(e.x)) + "," + std::to_string(int(e.y));
    }
};

class Win32InputTest : public ::testing::Test {
protected:
    win32::InputResult send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return win32::translateInput(window.native(), state, message, wParam, lParam);
    }
    // A key message's lParam: repeat count 1, scan code, extended flag, previous-state bit 30.
    void key(bool down, WPARAM virtualKey, int scanCode, bool extended = false, bool wasDown = false)
    {
        LPARAM lParam = 1 | (LPARAM(scanCode) << 16) | (LPARAM(extended) << 24) | (LPARAM(wasDown) << 30);
        if (!down)
            lParam |= LPARAM(3) << 30;
        EXPECT_EQ(send(down ? WM_KEYDOWN : WM_KEYUP, virtualKey, lParam), win32::InputResult::PASS_THROUGH);
    }
    void character(wchar_t unit) { EXPECT_EQ(send(WM_CHAR, unit, 1), win32::InputResult::HANDLED); }
    static LPARAM position(int x, int y) { return LPARAM(uint16_t(int16_t(x))) | (LPARAM(uint16_t(int16_t(y))) << 16); }

    RecordingWindow window;
    win32::InputState state;
};

TEST_F(Win32InputTest, ExtendedFlagTellsSidesAndKeypadEnterApart)
{
    key(true, VK_CONTROL, 0x1D, true); // right Ctrl
    key(true, VK_RETURN, 0x1C, true);  // keypad Enter
    key(false, VK_RETURN, 0x1C, true);
    key(false, VK_CONTROL, 0x1D, true);
    key(true, VK_MENU, 0x38);          // left Alt
    key(false, VK_MENU, 0x38);
    const std::vector<std::string> expected = {
        "keyPressed 58/58 action 0 mods 3080", // 8 | 0xC00
        "keyPressed 109/109 action 0 mods 3080",
        "keyReleased 109/109 action 2 mods 3080",
        "keyReleased 58/58 action 2 mods 0",
        "keyPressed 60/60 action 0 mods 16",
        "keyReleased 60/60 action 2 mods 0",
    };
    EXPECT_EQ(window.calls, expected);
}

TEST_F(Win32InputTest, F10IsReportedButKeptFromTheSystemMenu)
{
    const LPARAM f10 = 1 | (LPARAM(0x44) << 16);
    EXPECT_EQ(send(WM_SYSKEYDOWN, VK_F10, f10), win32::InputResult::HANDLED);
    EXPECT_EQ(send(WM_SYSKEYUP, VK_F10, f10 | (LPARAM(3) << 30)), win32::InputResult::HANDLED);
    EXPECT_EQ(send(WM_SYSKEYDOWN, VK_MENU, 1 | (LPARAM(0x38) << 16)), win32::InputResult::PASS_THROUGH);
    const std::vector<std::string> expected = {
        "keyPressed 87/87 action 0 mods 0", "keyReleased 87/87 action 2 mods 0", "keyPressed 60/60 action 0 mods 16"};
    EXPECT_EQ(window.calls, expected);
}

TEST_F(Win32InputTest, EitherShiftSetsBothShiftBits)
{
    key(true, VK_SHIFT, 0x36); // right Shift: key messages carry VK_SHIFT
    key(false, VK_SHIFT, 0x36);
    const std::vector<std::string> expected = {"keyPressed 53/53 action 0 mods 3", "keyReleased 53/53 action 2 mods 0"};
    EXPECT_EQ(window.calls, expected);
}

TEST_F(Win32InputTest, AutoRepeatOfAHeldKeyIsARepeat)
{
    key(true, 'A', 0x1E);
    key(true, 'A', 0x1E, false, true);
    key(false, 'A', 0x1E);
    // A "was down" flag for a key the window never saw pressed is a new press.
    key(true, 'B', 0x30, false, true);
    const std::vector<std::string> expected = {
        "keyPressed 1/1 action 0 mods 0", "keyPressed 1/1 action 1 mods 0", "keyReleased 1/1 action 2 mods 0",
        "keyPressed 2/2 action 0 mods 0"};
    EXPECT_EQ(window.calls, expected);
}

TEST_F(Win32InputTest, PrintScreenKeyUpAloneGivesPressAndRelease)
{
    key(false, VK_SNAPSHOT, 0x37, true);
    const std::vector<std::string> expected = {"keyPressed 76/76 action 0 mods 0", "keyReleased 76/76 action 2 mods 0"};
    EXPECT_EQ(window.calls, expected);
}

TEST_F(Win32InputTest, CharactersJoinSurrogatePairsAndDropControlCodes)
{
    const struct {
        const char* name;
        std::vector<wchar_t> units;
        std::vector<std::string> calls;
    } cases[] = {
        {"plain", {L'a', 0xE9}, {"char 97", "char 233"}},
        {"Enter arrives as line feed, Tab stays", {13, 9}, {"char 10", "char 9"}},
        {"Ctrl+A and Escape are not text", {1, 27, 127}, {}},
        {"surrogate pair", {0xD83D, 0xDE00}, {"char 128512"}},
        {"lone high surrogate", {0xD83D, L'x'}, {"char 120"}},
        {"lone low surrogate", {0xDE00, L'y'}, {"char 121"}},
        {"two high surrogates", {0xD83D, 0xD83D, 0xDE00}, {"char 128512"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        window.calls.clear();
        state = {};
        for (wchar_t unit : test.units)
            character(unit);
        EXPECT_EQ(window.calls, test.calls);
    }
}

TEST_F(Win32InputTest, MouseButtonsAndSignedPositions)
{
    EXPECT_EQ(send(WM_LBUTTONDOWN, MK_LBUTTON, position(10, 20)), win32::InputResult::HANDLED);
    // Captured outside the client area: negative coordinates.
    send(WM_LBUTTONUP, 0, position(-5, -7));
    send(WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), position(1, 2));
    send(WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), position(1, 2));
    send(WM_MBUTTONDOWN, 0, position(3, 4));
    const std::vector<std::string> expected = {"pressed 1 at 10,20", "released 1 at -5,-7", "pressed 5 at 1,2",
                                               "released 5 at 1,2", "pressed 3 at 3,4"};
    EXPECT_EQ(window.calls, expected);
    EXPECT_EQ(window.native().heldButtons(), 1 << 3);
}

TEST_F(Win32InputTest, WheelCountsNotchesTowardsTheUser)
{
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), position(5, 6));       // away from the user
    send(WM_MOUSEWHEEL, WPARAM(uint16_t(-2 * WHEEL_DELTA)) << 16, position(5, 6));
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 60), position(5, 6));                // half a notch (smooth wheels)
    const std::vector<std::string> expected = {"wheel -1.00 at 5,6", "wheel 2.000 at 5,6", "wheel -0.50 at 5,6"};
    EXPECT_EQ(window.calls, expected);
}

TEST_F(Win32InputTest, OtherMessagesAreLeftToTheWindow)
{
    EXPECT_EQ(send(WM_SIZE, 0, 0), win32::InputResult::NOT_INPUT);
    EXPECT_EQ(send(WM_PAINT, 0, 0), win32::InputResult::NOT_INPUT);
    EXPECT_TRUE(window.calls.empty());
}

} // namespace
} // namespace orvex
