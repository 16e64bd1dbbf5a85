// Window: one top-level window as the application sees it. The platform backend (NativeWindow,
// CMake picks it) turns native messages into calls of the virtual handlers below; subclasses
// override the ones they need. Everything here is main-thread only except post() and
// postUserMessage().
#pragma once

#include "engine/core/Callee.h"
#include "engine/core/Math.h"
#include "engine/core/UniquePtr.h"
#include "engine/window/Events.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class NativeContext;
class NativeWindow;

class Window {
public:
    enum Mode : int {
        MODE_FIXED = 0,      // bordered, not resizable by the user
        MODE_RESIZABLE = 1,  // bordered and resizable
        MODE_BORDERLESS = 2, // borderless on a display (covering it, or centred)
        MODE_FULLSCREEN = 3, // exclusive fullscreen with a display-mode change
    };
    enum MessageKind : int { MESSAGE_INFORMATION = 0, MESSAGE_WARNING = 1, MESSAGE_ERROR = 2 };

    // An icon image: rows top to bottom, four bytes per pixel in the order red, green, blue, alpha.
    struct Icon {
        int width = 0;
        int height = 0;
        std::vector<uint8_t> rgba; // width * height * 4 bytes
    };
    struct ContextSettings {
        bool doubleBuffered = true;
        bool vsync = true; // swap interval 1; a platform that cannot set it is not an error
        int samples = 0;   // 0 = no multisampling
    };

    // The native window is made later (create() or createNativeContext); until then the
    // setters below only store. Default client size 640 x 480.
    explicit Window(int mode = MODE_FIXED);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // ---- Handlers: called on the main thread while the loop dispatches; all do nothing here.
    virtual void destroyed() {}
    virtual void closeRequested() {}
    virtual void stateChanged(int code) { (void)code; } // WindowStateCode
    virtual void resized(int width, int height) { (void)width, (void)height; }
    virtual void characterInput(char32_t code) { (void)code; } // Enter arrives as 10, Tab as 9
    virtual void keyPressed(const KeyEvent& event) { (void)event; }
    virtual void keyReleased(const KeyEvent& event) { (void)event; }
    virtual void mouseButtonPressed(const MouseButtonEvent& event) { (void)event; }
    virtual void mouseButtonReleased(const MouseButtonEvent& event) { (void)event; }
    virtual void mouseWheel(const MouseWheelEvent& event) { (void)event; }
    virtual void mouseMoved(const MouseMoveEvent& event) { (void)event; }
    virtual void paint() {}
    virtual void dpiChanged(double scale) { (void)scale; }
    virtual void userMessage(uintptr_t code, intptr_t value) { (void)code, (void)value; }

    // ---- Placement and looks (main thread). A size with a negative component keeps the
    // current one. `display` is a display index, -1 for the window's own (or the primary).
    void setMode(int mode, int display = -1, bool fillDisplay = true);
    void setSize(int width, int height);
    void setTitle(std::string_view utf8);
    void setMinimumSize(int width, int height);
    void setIcon(const Icon* icon); // copied; null restores the platform's default
    // DPI / 96 of the window's display (of the primary display before the window exists).
    double dpiScale() const;
    // The actual client size once the window exists, otherwise the requested one.
    Vector<int, 2> clientSize() const;

    // ---- Native window and GL context (main thread).
    // Makes the native window, hidden; false on failure (or when it exists already).
    bool create();
    // A GL context on this window, making the window first if needed (with these settings for
    // its pixel format); null on failure. Destroy it before the window; if the window goes
    // first, the context is released with it and the object stays as an inert shell.
    UniquePtr<NativeContext> createNativeContext(const ContextSettings& settings);
    void show();
    void hide();
    void destroyNative();
    bool exists() const;
    // The platform's description of the last failure of create() or createNativeContext().
    const std::string& lastError() const;

    // ---- Frames (main thread).
    // Marks the window for painting: one paint() follows when the loop next runs out of
    // messages, however many requests came before it.
    void requestRedraw();
    // Calls paint() now, through the same bookkeeping as a loop-driven paint.
    void paintNow();

    // ---- Any thread. The callee runs on the main thread when the loop dispatches it; it is
    // neither copied nor deleted and must live until then. Dropped when the native window
    // does not exist, or is destroyed before the callee's turn comes.
    void post(Callee<void>* callee);
    // Delivers userMessage(code, value) on the main thread.
    void postUserMessage(uintptr_t code, intptr_t value);

    // ---- Process-wide services (main thread).
    // A modal box without owner window; kind is a MessageKind (others: no icon).
    static void showMessage(int kind, std::string_view title, std::string_view text);
    // Clipboard text in UTF-8 with line feeds; false when there is none or it cannot be read.
    static bool getClipboardText(std::string& out);
    static void setClipboardText(std::string_view utf8);

    // The platform's window handle (SDL_Window* on Linux, HWND on Windows), null before the window exists.
    void* platformHandle() const;

    // The backend's record: for the loop (ResponsiveApplication) and for input tests.
    NativeWindow& native() const { return *nativeWindow; }

private:
    UniquePtr<NativeWindow> nativeWindow;
};

} // namespace orvex
