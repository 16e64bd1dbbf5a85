// NativeWindow: the seam between the shared window code and a platform backend (sdl/ on Linux,
// win32/ on Windows).
// The shared half (NativeWindow.cpp) keeps the window record and all input bookkeeping: held
// keys and buttons, modifier bits, the pointer, the change marker, and the release of held
// inputs on focus loss. A backend derives from it, implements the platform operations and
// reports native events only through the input*() functions, which call the Window handlers.
// Main thread only, except post() and postUserMessage().
#pragma once

#include "engine/core/Callee.h"
#include "engine/core/Math.h"
#include "engine/core/UniquePtr.h"
#include "engine/window/Window.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

class NativeContext;

class NativeWindow {
public:
    // Defined by the backend: the platform's record for `owner`. Makes no native window yet.
    static UniquePtr<NativeWindow> make(Window& owner);
    // Defined by the backend (see Window for the meaning).
    static void showMessage(int kind, std::string_view title, std::string_view text);
    static bool getClipboardText(std::string& out);
    static void setClipboardText(std::string_view utf8);

    explicit NativeWindow(Window& owner);
    virtual ~NativeWindow() = default;
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    // Window states: 0 no native window, 1 created or hidden, 2 shown but not yet restored, or
    // minimised, 3 visible, 4 visible and focused.
    enum State : int { NONE = 0, CREATED = 1, SHOWN = 2, VISIBLE = 3, FOCUSED = 4 };
    enum ChangeMarker : int { MARKER_NONE, MARKER_CHANGED, MARKER_PAINTED };

    // ---- Record setters: store, and apply when the native window exists.
    void setMode(int mode, Vector<int, 2> size, int display, bool fillDisplay);
    void setTitle(std::string_view utf8);
    void setMinimumSize(int width, int height);
    void setIcon(const Window::Icon* icon);
    double dpiScale();
    Vector<int, 2> clientSize() const { return state == NONE ? requestedSize : currentSize; }
    int currentMode() const { return mode; }
    int targetDisplay() const { return display; }
    bool fillsDisplay() const { return fillDisplay; }
    int windowState() const { return state; }
    // The platform's text for the last failed create/createContext.
    const std::string& lastError() const { return failure; }

    // ---- Platform operations.
    // Makes the window, hidden, with `settings` for its GL pixel format; false (and lastError)
    // when that fails or the window exists already.
    virtual bool create(const Window::ContextSettings& settings) = 0;
    virtual UniquePtr<NativeContext> createContext(const Window::ContextSettings& settings) = 0;
    // The platform's window (an SDL_Window* on Linux, an HWND on Windows), for shell calls that
    // need it; null before the window exists.
    virtual void* platformHandle() const { return nullptr; }
    virtual void show() = 0;    // only from state CREATED
    virtual void hide() = 0;    // restores a changed display mode first
    virtual void destroy() = 0; // calls inputDestroyed() first; nothing without a window
    // Any thread.
    virtual void post(Callee<void>* callee) = 0;
    virtual void postUserMessage(uintptr_t code, intptr_t value) = 0;

    // ---- The loop.
    void requestRedraw() { invalid = true; }
    void paintNow();
    // Dispatches queued messages, painting when the queue runs dry, a redraw is pending and the
    // window is shown and not minimised.
    // Returns when the queue is empty, or right after a message that set the stop flag (a paint
    // with nothing changed since the previous one).
    void dispatchQueued();
    // Sleeps until a message arrives; returns at once while a redraw is pending (and the window
    // is shown and not minimised).
    void waitMessage();

    // ---- Input, reported by the backend. Positions are client pixels.
    void inputKey(int scanKey, int key, bool pressed, bool repeat);
    void inputCharacter(char32_t code); // control characters are dropped; 13 arrives as 10
    void inputMouseButton(int button, bool pressed, int x, int y);
    void inputMouseMove(int x, int y);
    void inputMouseWheel(double delta, int x, int y);
    void inputMouseLeft();
    // `heldModifiers`: the Shift/Ctrl/Alt bits the platform says are down when focus arrives.
    void inputFocus(bool focused, int heldModifiers);
    void inputShown();
    void inputHidden();
    void inputMinimised();
    void inputRestored();
    void inputResized(int width, int height);
    void inputCloseRequest();
    // The window may now be on a display of another DPI; dpiChanged follows if it is.
    void inputDisplayChanged();
    void inputUserMessage(uintptr_t code, intptr_t value);
    void inputCallee(Callee<void>* callee);
    void inputDestroyed();

    int modifiers() const { return modifierBits; }
    int heldButtons() const { return buttonBits; }

    // The modifier bits a key contributes; see KeyCodes.h.
    static int modifierBitsOf(int scanKey, int key);

protected:
    // ---- Backend hooks.
    // `sizeChanged`: a new size was requested (otherwise only a mode change may resize).
    virtual void applyMode(int previousMode, bool sizeChanged) = 0;
    virtual void applyTitle() = 0;
    virtual void applyMinimumSize() = 0;
    virtual void applyIcon() = 0;
    // DPI / 96 of the window's display (the primary one without a window); 1 when unknown.
    virtual double queryDpiScale() = 0;
    virtual void setCapture(bool captured) = 0;
    // Takes one native message and dispatches it; false when none is queued.
    virtual bool dispatchNext() = 0;
    virtual void waitForMessage() = 0;

    // Called by the backend when its window came to be (CREATED, size) or went.
    void windowCreated(Vector<int, 2> size);
    void windowGone();

    // The record, as the backend reads it.
    int mode = Window::MODE_FIXED;
    Vector<int, 2> requestedSize{{640, 480}}; // client size
    Vector<int, 2> minimumSize{{0, 0}};       // client size; 0 = none
    int display = -1;                         // for modes 2 and 3; -1 = the window's own
    bool fillDisplay = true;                  // mode 2 covers the display, else centres the requested size
    std::string title;                        // UTF-8
    Window::Icon icon;                        // width 0 = the platform's default
    std::string failure;                      // see lastError()

private:
    void setMarkerChanged() { marker = MARKER_CHANGED; }
    double measuredDpiScale();
    bool paintable() const;
    void releaseHeldInputs();

    Window& window;
    int state = NONE;
    Vector<int, 2> currentSize{{0, 0}}; // the client size last reported
    bool minimised = false;
    double dpi = 0;                     // scale; 0 until first asked
    bool mouseInside = false;
    Vector<int, 2> lastMouse{{0, 0}};
    int buttonBits = 0;                 // bit n while button n is held
    std::bitset<256> keysByScan;        // held keys by scanKey
    std::bitset<256> keysByKey;         // held keys by key
    int modifierBits = 0;
    ChangeMarker marker = MARKER_NONE;  // what happened since the last paint
    bool stopFlag = false;              // dispatchQueued returns after this message
    bool invalid = false;               // a paint is pending
};

} // namespace orvex
