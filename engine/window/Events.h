// Events: the records a Window hands its input handlers, and the codes of stateChanged.
// Positions are client pixels, y downwards, with a pixel's centre at +0.5 (the pointer reports
// the pixel's integer corner). Modifier bits and key codes are in KeyCodes.h.
#pragma once

namespace orvex {

// KeyEvent::action and MouseButtonEvent::action.
enum InputAction : int {
    ACTION_PRESS = 0,
    ACTION_REPEAT = 1,
    ACTION_RELEASE = 2,
    ACTION_FOCUS_RELEASE = 6, // released by the engine because the window lost the focus
};

// Window::stateChanged codes.
enum WindowStateCode : int {
    STATE_SHOWN = 0,
    STATE_HIDDEN = 1,
    STATE_MINIMISED = 2,
    STATE_RESTORED = 3,
    STATE_FOCUS_GAINED = 4,
    STATE_FOCUS_LOST = 5,
    STATE_MOUSE_ENTERED = 6,
    STATE_MOUSE_LEFT = 7,
};

struct KeyEvent {
    int scanKey = 0;   // engine key code by physical position, 0 when none
    int key = 0;       // engine key code by virtual key (the layout's meaning), 0 when none
    int action = 0;    // ACTION_PRESS, ACTION_REPEAT, ACTION_RELEASE or ACTION_FOCUS_RELEASE
    int modifiers = 0; // ModifierBit set after this key's own change
};

struct MouseButtonEvent {
    int button = 0;    // 1 left, 2 right, 3 middle, 4-7 extra buttons
    int action = 0;    // ACTION_PRESS, ACTION_RELEASE or ACTION_FOCUS_RELEASE
    int modifiers = 0;
    double x = 0;
    double y = 0;
};

struct MouseWheelEvent {
    double delta = 0;  // notches, positive when the wheel turns towards the user
    int modifiers = 0;
    double x = 0;
    double y = 0;
};

struct MouseMoveEvent {
    double x = 0;
    double y = 0;
    double dx = 0;     // whole pixels since the previous move event
    double dy = 0;
    int buttons = 0;   // bit n set while button n is held
};

} // namespace orvex
