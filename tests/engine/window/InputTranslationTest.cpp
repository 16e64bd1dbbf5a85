// Input translation without a display: synthetic SDL events go through the SDL backend's
// translation into the shared bookkeeping, and a recording Window shows which handler calls
// came out. No native window is made, so nothing here needs SDL_Init.
#include "engine/window/KeyCodes.h"
#include "engine/window/NativeWindow.h"
#include "engine/window/Window.h"
#include "engine/window/sdl/SdlInput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace orvex {
namespace {

std::string hex(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%#x", unsigned(value));
    return text;
}

// Records every handler call as one line of text, so a failure shows the whole sequence.
class RecordingWindow final : public Window {
public:
    std::vector<std::string> calls;

    void stateChanged(int code) override { calls.push_back("state " + std::to_string(code)); }
    void characterInput(char32_t code) override { calls.push_back("char " + std::to_string(unsigned(code))); }
    void keyPressed(const KeyEvent& e) override { calls.push_back("keyPressed " + describe(e)); }
    void keyReleased(const KeyEvent& e) override { calls.push_back("keyReleased " + describe(e)); }
    void mouseButtonPressed(const MouseButtonEvent& e) override { calls.push_back("buttonPressed " + describe(e)); }
    void mouseButtonReleased(const MouseButtonEvent& e) override { calls.push_back("buttonReleased " + describe(e)); }
    void mouseWheel(const MouseWheelEvent& e) override
    {
        calls.push_back("wheel " + std::to_string(int(e.delta)) + " at " + std::to_string(int(e.x)) + "," +
                        std::to_string(int(e.y)));
    }
    void mouseMoved(const MouseMoveEvent& e) override
    {
        calls.push_back("moved " + std::to_string(int(e.x)) + "," + std::to_string(int(e.y)) + " by " +
                        std::to_string(int(e.dx)) + "," + std::to_string(int(e.dy)) + " buttons " + hex(e.buttons));
    }

    static std::string describe(const KeyEvent& e)
    {
        return std::to_string(e.scanKey) + "/" + std::to_string(e.key) + " action " + std::to_string(e.action) +
               " mods " + hex(e.modifiers);
    }
    static std::string describe(const MouseButtonEvent& e)
    {
        return std::to_string(e.button) + " action " + std::to_string(e.action) + " mods " + hex(e.modifiers) +
               " at " + std::to_string(int(e.x)) + "," + std::to_string(int(e.y));
    }
};

SDL_Event keyEvent(SDL_Scancode scancode, SDL_Keycode keycode, bool down, bool repeat = false)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = keycode;
    return event;
}

SDL_Event textEvent(const char* utf8)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::snprintf(event.text.text, sizeof event.text.text, "%s", utf8);
    return event;
}

SDL_Event buttonEvent(int button, bool down, int x, int y)
{
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = Uint8(button);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event motionEvent(int x, int y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

SDL_Event wheelEvent(float y, bool flipped, int x = 0, int pointerY = 0)
{
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.y = int(y);
    event.wheel.preciseY = y;
    event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    event.wheel.mouseX = x;
    event.wheel.mouseY = pointerY;
    return event;
}

SDL_Event windowEvent(SDL_WindowEventID id)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = Uint8(id);
    return event;
}

class InputTranslationTest : public ::testing::Test {
protected:
    void feed(const SDL_Event& event) { sdl::translateEvent(event, window.native()); }
    void press(SDL_Scancode scancode, SDL_Keycode keycode) { feed(keyEvent(scancode, keycode, true)); }
    void release(SDL_Scancode scancode, SDL_Keycode keycode) { feed(keyEvent(scancode, keycode, false)); }
    std::vector<std::string> take() { return std::exchange(window.calls, {}); }

    RecordingWindow window;
};

// ---------------------------------------------------------------------------------------------
// Key codes

struct KeyRow {
    const char* name;
    SDL_Scancode scancode;
    SDL_Keycode keycode;
    int scanKey;
    int key;
};

const KeyRow keyRows[] = {
    {"LetterA", SDL_SCANCODE_A, SDLK_a, 1, 1},
    {"LetterZ", SDL_SCANCODE_Z, SDLK_z, 26, 26},
    // A French layout: the key in the Q position types A. scanKey follows the position.
    {"LayoutMovesLetter", SDL_SCANCODE_Q, SDLK_a, 17, 1},
    {"Digit0", SDL_SCANCODE_0, SDLK_0, 27, 27},
    {"Digit1", SDL_SCANCODE_1, SDLK_1, 28, 28},
    {"Digit9", SDL_SCANCODE_9, SDLK_9, 36, 36},
    {"Space", SDL_SCANCODE_SPACE, SDLK_SPACE, 37, 37},
    {"Enter", SDL_SCANCODE_RETURN, SDLK_RETURN, 38, 38},
    {"Escape", SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 39, 39},
    {"Backspace", SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 40, 40},
    {"Tab", SDL_SCANCODE_TAB, SDLK_TAB, 41, 41},
    {"Grave", SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, 48, 48},
    {"Apostrophe", SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, 52, 52},
    {"Delete", SDL_SCANCODE_DELETE, SDLK_DELETE, 66, 66},
    {"F1", SDL_SCANCODE_F1, SDLK_F1, 78, 78},
    {"F6", SDL_SCANCODE_F6, SDLK_F6, 83, 83},
    {"F12", SDL_SCANCODE_F12, SDLK_F12, 89, 89},
    {"F13HasNoPositionCode", SDL_SCANCODE_F13, SDLK_F13, 0, 90},
    {"Keypad0", SDL_SCANCODE_KP_0, SDLK_KP_0, 94, 94},
    {"Keypad1", SDL_SCANCODE_KP_1, SDLK_KP_1, 95, 95},
    {"Keypad9", SDL_SCANCODE_KP_9, SDLK_KP_9, 103, 103},
    {"KeypadDecimal", SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, 104, 104},
    {"KeypadDivide", SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, 108, 108},
    {"KeypadEnter", SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 109, 109},
    {"Left", SDL_SCANCODE_LEFT, SDLK_LEFT, 71, 71},
    {"Up", SDL_SCANCODE_UP, SDLK_UP, 72, 72},
    {"Right", SDL_SCANCODE_RIGHT, SDLK_RIGHT, 73, 73},
    {"Down", SDL_SCANCODE_DOWN, SDLK_DOWN, 74, 74},
    {"LeftCtrl", SDL_SCANCODE_LCTRL, SDLK_LCTRL, 57, 57},
    {"RightCtrl", SDL_SCANCODE_RCTRL, SDLK_RCTRL, 58, 58},
    {"LeftAlt", SDL_SCANCODE_LALT, SDLK_LALT, 60, 60},
    {"RightAlt", SDL_SCANCODE_RALT, SDLK_RALT, 61, 61},
    {"AltGrAsModeSwitch", SDL_SCANCODE_RALT, SDLK_MODE, 61, 61},
    // The position table knows one Shift; the layout side tells left from right.
    {"LeftShift", SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 53, 54},
    {"RightShift", SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 53, 55},
    {"Oem102", SDL_SCANCODE_NONUSBACKSLASH, SDLK_LESS, 113, 113},
    {"Unnamed", SDL_SCANCODE_VOLUMEUP, SDLK_VOLUMEUP, 0, 0},
};

TEST_F(InputTranslationTest, KeyCodesByPositionAndByLayout)
{
    for (const KeyRow& row : keyRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(sdl::scanKeyOf(row.scancode), row.scanKey);
        EXPECT_EQ(sdl::keyOf(row.keycode), row.key);
    }
}

TEST_F(InputTranslationTest, MouseButtonsSwapMiddleAndRight)
{
    const int expected[][2] = {{SDL_BUTTON_LEFT, 1}, {SDL_BUTTON_RIGHT, 2}, {SDL_BUTTON_MIDDLE, 3},
                               {SDL_BUTTON_X1, 4},   {SDL_BUTTON_X2, 5},    {8, 0}};
    for (const auto& row : expected)
        EXPECT_EQ(sdl::buttonOf(row[0]), row[1]) << "SDL button " << row[0];
}

TEST_F(InputTranslationTest, KeyRepeatOnlyForAHeldKey)
{
    feed(keyEvent(SDL_SCANCODE_A, SDLK_a, true, true)); // a repeat SDL reports for an unseen key
    feed(keyEvent(SDL_SCANCODE_A, SDLK_a, true, true));
    EXPECT_EQ(take(), (std::vector<std::string>{"keyPressed 1/1 action 0 mods 0", "keyPressed 1/1 action 1 mods 0"}));
}

// ---------------------------------------------------------------------------------------------
// Modifier bits

struct KeyStep {
    SDL_Scancode scancode;
    SDL_Keycode keycode;
    bool down;
};

struct ModifierRow {
    const char* name;
    std::vector<KeyStep> steps;
    int modifiers; // of the last key event
};

const ModifierRow modifierRows[] = {
    {"LeftShift", {{SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, true}}, 0x1},
    {"RightShift", {{SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, true}}, 0x2},
    {"LeftCtrlAddsC00", {{SDL_SCANCODE_LCTRL, SDLK_LCTRL, true}}, 0xC04},
    {"RightCtrlAddsC00", {{SDL_SCANCODE_RCTRL, SDLK_RCTRL, true}}, 0xC08},
    {"LeftAlt", {{SDL_SCANCODE_LALT, SDLK_LALT, true}}, 0x10},
    {"RightAlt", {{SDL_SCANCODE_RALT, SDLK_RALT, true}}, 0x20},
    {"CtrlShiftLetter",
     {{SDL_SCANCODE_LCTRL, SDLK_LCTRL, true}, {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, true}, {SDL_SCANCODE_S, SDLK_s, true}},
     0xC05},
    {"C00StaysWhileOtherCtrlHeld",
     {{SDL_SCANCODE_LCTRL, SDLK_LCTRL, true}, {SDL_SCANCODE_RCTRL, SDLK_RCTRL, true},
      {SDL_SCANCODE_LCTRL, SDLK_LCTRL, false}},
     0xC08},
    {"C00GoesWithLastCtrl",
     {{SDL_SCANCODE_LCTRL, SDLK_LCTRL, true}, {SDL_SCANCODE_LCTRL, SDLK_LCTRL, false}}, 0x0},
    // Both Shift keys share one position code; releasing one must not drop the other.
    {"OtherShiftStaysHeld",
     {{SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, true}, {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, true},
      {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, false}},
     0x2},
    // A key remapped to Ctrl (Caps Lock position, Ctrl meaning) acts as Ctrl.
    {"RemappedCapsLockIsCtrl", {{SDL_SCANCODE_CAPSLOCK, SDLK_LCTRL, true}}, 0xC04},
};

TEST_F(InputTranslationTest, ModifierBits)
{
    for (const ModifierRow& row : modifierRows) {
        SCOPED_TRACE(row.name);
        RecordingWindow fresh;
        for (const KeyStep& step : row.steps)
            sdl::translateEvent(keyEvent(step.scancode, step.keycode, step.down), fresh.native());
        EXPECT_EQ(hex(fresh.native().modifiers()), hex(row.modifiers));
    }
}

TEST_F(InputTranslationTest, ModifiersReachMouseEvents)
{
    press(SDL_SCANCODE_RCTRL, SDLK_RCTRL);
    take();
    feed(buttonEvent(SDL_BUTTON_LEFT, true, 5, 6));
    feed(wheelEvent(1, false, 5, 6));
    EXPECT_EQ(take(), (std::vector<std::string>{"buttonPressed 1 action 0 mods 0xc08 at 5,6", "wheel -1 at 5,6"}));
}

// ---------------------------------------------------------------------------------------------
// Focus loss

TEST_F(InputTranslationTest, FocusLossReleasesHeldInputsOnce)
{
    feed(motionEvent(30, 40));
    press(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    press(SDL_SCANCODE_A, SDLK_a);
    feed(buttonEvent(SDL_BUTTON_RIGHT, true, 31, 41));
    feed(buttonEvent(SDL_BUTTON_LEFT, true, 31, 41));
    take();

    feed(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    EXPECT_EQ(take(), (std::vector<std::string>{
                          "state 5",
                          // by position: A carries its layout code too; Shift's differs, so it
                          // comes again by layout code
                          "keyReleased 1/1 action 6 mods 0",
                          "keyReleased 53/0 action 6 mods 0",
                          "keyReleased 0/54 action 6 mods 0",
                          // buttons in ascending order at the last pointer position
                          "buttonReleased 1 action 6 mods 0 at 30,40",
                          "buttonReleased 2 action 6 mods 0 at 30,40",
                      }));
    EXPECT_EQ(window.native().modifiers(), 0);
    EXPECT_EQ(window.native().heldButtons(), 0);

    // The physical releases arrive later and produce nothing.
    release(SDL_SCANCODE_A, SDLK_a);
    release(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    feed(buttonEvent(SDL_BUTTON_LEFT, false, 31, 41));
    feed(buttonEvent(SDL_BUTTON_RIGHT, false, 31, 41));
    EXPECT_EQ(take(), std::vector<std::string>{});

    // A key still physically down repeats; that counts as a new press.
    feed(keyEvent(SDL_SCANCODE_A, SDLK_a, true, true));
    EXPECT_EQ(take(), std::vector<std::string>{"keyPressed 1/1 action 0 mods 0"});
}

// ---------------------------------------------------------------------------------------------
// Pointer

TEST_F(InputTranslationTest, FirstMoveEntersAndZeroMovesAreDropped)
{
    feed(motionEvent(10, 20));
    feed(motionEvent(10, 20));
    feed(buttonEvent(SDL_BUTTON_MIDDLE, true, 10, 20));
    feed(motionEvent(12, 25));
    feed(windowEvent(SDL_WINDOWEVENT_LEAVE));
    feed(motionEvent(12, 25)); // back in at the same spot: entering is still announced
    EXPECT_EQ(take(), (std::vector<std::string>{
                          "state 6",
                          "moved 10,20 by 10,20 buttons 0",
                          "buttonPressed 3 action 0 mods 0 at 10,20",
                          "moved 12,25 by 2,5 buttons 0x8",
                          "state 7",
                          "state 6",
                          "moved 12,25 by 0,0 buttons 0x8",
                      }));
}

TEST_F(InputTranslationTest, WheelCountsTowardsTheUserAsPositive)
{
    feed(motionEvent(0, 0));
    take();
    feed(wheelEvent(1, false, 7, 8));  // away from the user
    feed(wheelEvent(-2, false, 7, 8)); // towards the user
    feed(wheelEvent(1, true, 7, 8));   // "natural" scrolling: SDL flips the sign
    feed(wheelEvent(0, false, 7, 8));  // horizontal only
    EXPECT_EQ(take(), (std::vector<std::string>{"wheel -1 at 7,8", "wheel 2 at 7,8", "wheel 1 at 7,8"}));
}

// ---------------------------------------------------------------------------------------------
// Characters

struct CharacterRow {
    const char* name;
    std::vector<SDL_Event> events;
    std::vector<unsigned> characters;
};

std::vector<unsigned> charactersOf(const std::vector<std::string>& calls)
{
    std::vector<unsigned> characters;
    for (const std::string& call : calls) {
        if (call.rfind("char ", 0) == 0)
            characters.push_back(unsigned(std::stoul(call.substr(5))));
    }
    return characters;
}

TEST_F(InputTranslationTest, CharacterInput)
{
    const CharacterRow rows[] = {
        {"EnterArrivesAsLineFeed", {keyEvent(SDL_SCANCODE_RETURN, SDLK_RETURN, true)}, {10}},
        {"KeypadEnterToo", {keyEvent(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, true)}, {10}},
        {"EnterRepeats",
         {keyEvent(SDL_SCANCODE_RETURN, SDLK_RETURN, true), keyEvent(SDL_SCANCODE_RETURN, SDLK_RETURN, true, true)},
         {10, 10}},
        {"ShiftTab",
         {keyEvent(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, true), keyEvent(SDL_SCANCODE_TAB, SDLK_TAB, true)},
         {9}},
        {"CtrlEnterTypesNothing",
         {keyEvent(SDL_SCANCODE_LCTRL, SDLK_LCTRL, true), keyEvent(SDL_SCANCODE_RETURN, SDLK_RETURN, true)},
         {}},
        // X11 sends the control character, other backends the letter: neither is text.
        {"CtrlCTypesNothing",
         {keyEvent(SDL_SCANCODE_LCTRL, SDLK_LCTRL, true), keyEvent(SDL_SCANCODE_C, SDLK_c, true), textEvent("\x03"),
          textEvent("c")},
         {}},
        {"AltLetterTypesNothing",
         {keyEvent(SDL_SCANCODE_LALT, SDLK_LALT, true), textEvent("f")},
         {}},
        {"AltGrTypes",
         {keyEvent(SDL_SCANCODE_LCTRL, SDLK_LCTRL, true), keyEvent(SDL_SCANCODE_RALT, SDLK_RALT, true),
          textEvent("@")},
         {'@'}},
        {"Utf8DecodedToCodePoints", {textEvent("a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E")}, {'a', 0xE9, 0x20AC, 0x1D11E}},
        {"ControlCharactersInTextDropped", {textEvent("\t\r\x7F" "b")}, {'b'}},
        {"KeysWithoutTextTypeNothing",
         {keyEvent(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, true), keyEvent(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true)},
         {}},
    };
    for (const CharacterRow& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingWindow fresh;
        for (const SDL_Event& event : row.events)
            sdl::translateEvent(event, fresh.native());
        EXPECT_EQ(charactersOf(fresh.calls), row.characters);
    }
}

TEST_F(InputTranslationTest, EnterCharacterFollowsItsKeyPress)
{
    press(SDL_SCANCODE_RETURN, SDLK_RETURN);
    EXPECT_EQ(take(), (std::vector<std::string>{"keyPressed 38/38 action 0 mods 0", "char 10"}));
}

} // namespace
} // namespace orvex
