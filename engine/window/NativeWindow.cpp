// NativeWindow, shared half: the window record's setters, the dispatch loop with its redraw
// coalescing and change marker, and the input bookkeeping every backend reports through.
// Written once here so that all platforms release held inputs, drop zero moves and compute
// modifier bits the same way.
#include "engine/window/NativeWindow.h"

#include "engine/window/KeyCodes.h"

#include <cmath>
#include <cstdlib>

namespace orvex {

namespace {

// VELBRIN_DPI_SCALE overrides the measured scale (tests, and displays that report nonsense).
double scaleOverride()
{
    const char* text = std::getenv("VELBRIN_DPI_SCALE");
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    return (*end == '\0' && std::isfinite(scale) && scale > 0) ? scale : 0;
}

bool validKeyCode(int code) { return code > 0 && code <= KEY_LAST; }

int modifierBitsOfCode(int code)
{
    switch (code) {
    case KEY_SHIFT: return MOD_SHIFT;
    case KEY_LEFT_SHIFT: return MOD_LEFT_SHIFT;
    case KEY_RIGHT_SHIFT: return MOD_RIGHT_SHIFT;
    case KEY_CTRL: return MOD_CTRL;
    case KEY_LEFT_CTRL: return MOD_LEFT_CTRL;
    case KEY_RIGHT_CTRL: return MOD_RIGHT_CTRL;
    case KEY_ALT: return MOD_ALT;
    case KEY_LEFT_ALT: return MOD_LEFT_ALT;
    case KEY_RIGHT_ALT: return MOD_RIGHT_ALT;
    default: return 0;
    }
}

int withCtrlExtra(int bits) { return (bits & MOD_CTRL) ? bits | MOD_CTRL_EXTRA : bits & ~MOD_CTRL_EXTRA; }

} // namespace

NativeWindow::NativeWindow(Window& owner)
    : window(owner)
{
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Record setters

void NativeWindow::setMode(int newMode, Vector<int, 2> size, int newDisplay, bool newFillDisplay)
{
    const int previous = mode;
    const bool sizeGiven = size[0] >= 0 && size[1] >= 0;
    if (!sizeGiven) {
        // A window the user cannot resize keeps what it shows now.
        if (state != NONE && (previous == Window::MODE_FIXED || (previous == Window::MODE_BORDERLESS && !fillDisplay)))
            requestedSize = currentSize;
    } else {
        requestedSize = size;
    }
    mode = newMode;
    display = newDisplay;
    fillDisplay = newFillDisplay;
    if (state != NONE)
        applyMode(previous, sizeGiven);
}

void NativeWindow::setTitle(std::string_view utf8)
{
    title.assign(utf8);
    if (state != NONE)
        applyTitle();
}

void NativeWindow::setMinimumSize(int width, int height)
{
    minimumSize = {{width, height}};
    if (state != NONE)
        applyMinimumSize();
}

void NativeWindow::setIcon(const Window::Icon* newIcon)
{
    icon = newIcon ? *newIcon : Window::Icon();
    if (state != NONE)
        applyIcon();
}

double NativeWindow::dpiScale()
{
    if (dpi == 0)
        dpi = measuredDpiScale();
    return dpi;
}

double NativeWindow::measuredDpiScale()
{
    const double forced = scaleOverride();
    return forced > 0 ? forced : queryDpiScale();
}

void NativeWindow::windowCreated(Vector<int, 2> size)
{
    state = CREATED;
    currentSize = size;
    minimised = false;
    marker = MARKER_NONE;
    // From here on the scale is the window's own display's.
    dpi = measuredDpiScale();
}

void NativeWindow::windowGone()
{
    state = NONE;
    minimised = false;
    mouseInside = false;
    buttonBits = 0;
    keysByScan.reset();
    keysByKey.reset();
    modifierBits = 0;
    invalid = false;
}

// ---------------------------------------------------------------------------------------------
// [SECTION] The loop

void NativeWindow::paintNow()
{
    if (state == NONE)
        return;
    invalid = false;
    // A second paint with no input in between means the queue holds nothing that would change
    // the picture: the loop may go back to sleep instead of draining further.
    const bool nothingChanged = marker == MARKER_PAINTED;
    window.paint();
    if (nothingChanged)
        stopFlag = true;
    marker = MARKER_PAINTED;
}

void NativeWindow::dispatchQueued()
{
    stopFlag = false;
    for (;;) {
        // Like a system paint message, a pending redraw comes only when nothing else is queued,
        // so any number of requests before it end in one paint.
        if (!dispatchNext()) {
            if (!invalid || !paintable())
                return;
            paintNow();
        }
        if (stopFlag)
            return;
    }
}

void NativeWindow::waitMessage()
{
    if (invalid && paintable())
        return;
    waitForMessage();
}

bool NativeWindow::paintable() const
{
    // Nothing to see while hidden or minimised: a pending redraw waits (without keeping the loop
    // awake) until the window shows again. paintNow() still paints at once.
    return state >= SHOWN && !minimised;
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Keyboard

int NativeWindow::modifierBitsOf(int scanKey, int key)
{
    // A virtual key that names its side wins: backends that can tell left from right (and keys
    // remapped to a modifier) report it there, while the physical table only knows "Shift".
    const int sided = modifierBitsOfCode(key);
    int bits = 0;
    if (sided && key != KEY_SHIFT && key != KEY_CTRL && key != KEY_ALT)
        bits = sided;
    else
        bits = modifierBitsOfCode(scanKey ? scanKey : key);
    return withCtrlExtra(bits);
}

void NativeWindow::inputKey(int scanKey, int key, bool pressed, bool repeat)
{
    if (!validKeyCode(scanKey))
        scanKey = 0;
    if (!validKeyCode(key))
        key = 0;
    if (!scanKey && !key)
        return;
    const int bits = modifierBitsOf(scanKey, key);
    const bool held = (scanKey && keysByScan[scanKey]) || (key && keysByKey[key]);
    if (pressed) {
        if (scanKey)
            keysByScan.set(scanKey);
        if (key)
            keysByKey.set(key);
        modifierBits = withCtrlExtra(modifierBits | bits);
        // A repeat of a key released at focus loss counts as a new press.
        window.keyPressed({scanKey, key, repeat && held ? ACTION_REPEAT : ACTION_PRESS, modifierBits});
        setMarkerChanged();
        return;
    }
    // The modifier goes even for an unmarked key: it may have been down when the focus came.
    modifierBits = withCtrlExtra(modifierBits & ~(bits & ~MOD_CTRL_EXTRA));
    if (scanKey)
        keysByScan.reset(scanKey);
    if (key)
        keysByKey.reset(key);
    // A key already released at focus loss gets no second release.
    if (!held)
        return;
    window.keyReleased({scanKey, key, ACTION_RELEASE, modifierBits});
    setMarkerChanged();
}

void NativeWindow::inputCharacter(char32_t code)
{
    if (code == 13)
        code = 10;
    else if ((code < 32 && code != 9) || code == 127)
        return;
    window.characterInput(code);
    setMarkerChanged();
}

void NativeWindow::releaseHeldInputs()
{
    modifierBits = 0;
    bool released = false;
    for (int code = 0; code < int(keysByScan.size()); ++code) {
        if (!keysByScan[code])
            continue;
        keysByScan.reset(code);
        int key = 0;
        if (keysByKey[code]) {
            keysByKey.reset(code);
            key = code;
        }
        window.keyReleased({code, key, ACTION_FOCUS_RELEASE, 0});
        released = true;
    }
    for (int code = 0; code < int(keysByKey.size()); ++code) {
        if (!keysByKey[code])
            continue;
        keysByKey.reset(code);
        window.keyReleased({0, code, ACTION_FOCUS_RELEASE, 0});
        released = true;
    }
    if (buttonBits) {
        const int held = buttonBits;
        buttonBits = 0;
        setCapture(false);
        for (int button = 0; button < 8; ++button) {
            if (held & (1 << button))
                window.mouseButtonReleased(
                    {button, ACTION_FOCUS_RELEASE, 0, double(lastMouse[0]), double(lastMouse[1])});
        }
        released = true;
    }
    if (released)
        setMarkerChanged();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Mouse

void NativeWindow::inputMouseButton(int button, bool pressed, int x, int y)
{
    if (button < 1 || button > 7)
        return;
    const int bit = 1 << button;
    if (pressed) {
        buttonBits |= bit;
        // Captured while any button is held, so a drag keeps reporting outside the window.
        setCapture(true);
        window.mouseButtonPressed({button, ACTION_PRESS, modifierBits, double(x), double(y)});
        setMarkerChanged();
        return;
    }
    // A button already released at focus loss gets no second release.
    if (!(buttonBits & bit))
        return;
    buttonBits &= ~bit;
    if (!buttonBits)
        setCapture(false);
    window.mouseButtonReleased({button, ACTION_RELEASE, modifierBits, double(x), double(y)});
    setMarkerChanged();
}

void NativeWindow::inputMouseMove(int x, int y)
{
    const int dx = x - lastMouse[0];
    const int dy = y - lastMouse[1];
    lastMouse = {{x, y}};
    const MouseMoveEvent event{double(x), double(y), double(dx), double(dy), buttonBits};
    if (!mouseInside) {
        // The first move after the pointer came in is the "entered" notice, moved or not.
        mouseInside = true;
        window.stateChanged(STATE_MOUSE_ENTERED);
        window.mouseMoved(event);
    } else if (dx || dy) {
        window.mouseMoved(event);
    }
    setMarkerChanged();
}

void NativeWindow::inputMouseWheel(double delta, int x, int y)
{
    window.mouseWheel({delta, modifierBits, double(x), double(y)});
    setMarkerChanged();
}

void NativeWindow::inputMouseLeft()
{
    mouseInside = false;
    window.stateChanged(STATE_MOUSE_LEFT);
    setMarkerChanged();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Window state

void NativeWindow::inputFocus(bool focused, int heldModifiers)
{
    if (focused) {
        if (state == NONE || state == FOCUSED || minimised)
            return;
        if (state == SHOWN)
            window.stateChanged(STATE_RESTORED);
        state = FOCUSED;
        window.stateChanged(STATE_FOCUS_GAINED);
        modifierBits = withCtrlExtra(modifierBits | (heldModifiers & (MOD_SHIFT | MOD_CTRL | MOD_ALT)));
        return;
    }
    if (state == FOCUSED)
        state = VISIBLE;
    window.stateChanged(STATE_FOCUS_LOST);
    releaseHeldInputs();
}

void NativeWindow::inputShown()
{
    if (state != CREATED)
        return;
    state = SHOWN;
    window.stateChanged(STATE_SHOWN);
}

void NativeWindow::inputHidden()
{
    if (state < SHOWN)
        return;
    state = CREATED;
    window.stateChanged(STATE_HIDDEN);
}

void NativeWindow::inputMinimised()
{
    if (state == NONE || minimised)
        return;
    minimised = true;
    state = SHOWN;
    window.stateChanged(STATE_MINIMISED);
}

void NativeWindow::inputRestored()
{
    minimised = false;
    if (state != SHOWN)
        return;
    state = VISIBLE;
    window.stateChanged(STATE_RESTORED);
}

void NativeWindow::inputResized(int width, int height)
{
    // A minimised window reports no size of its own.
    if (state == NONE || minimised || width <= 0 || height <= 0)
        return;
    if (currentSize == Vector<int, 2>{{width, height}})
        return;
    currentSize = {{width, height}};
    window.resized(width, height);
    setMarkerChanged();
}

void NativeWindow::inputCloseRequest()
{
    window.closeRequested();
    setMarkerChanged();
}

void NativeWindow::inputDisplayChanged()
{
    const double scale = measuredDpiScale();
    if (scale == dpi)
        return;
    dpi = scale;
    window.dpiChanged(scale);
}

void NativeWindow::inputUserMessage(uintptr_t code, intptr_t value) { window.userMessage(code, value); }

void NativeWindow::inputCallee(Callee<void>* callee)
{
    if (callee)
        callee->call();
}

void NativeWindow::inputDestroyed() { window.destroyed(); }

} // namespace orvex
