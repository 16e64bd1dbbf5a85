// Win32NativeWindow: Win32 backend of NativeWindow. One top-level window of the class
// "OrvexEngine" with its own device context (CS_OWNDC, so the GL pixel format stays with it),
// created hidden. The loop sleeps in MsgWaitForMultipleObjectsEx; posted callees and user
// messages travel as WM_APP messages to the window (PostMessageW is thread-safe), so they are
// dropped with the window. The window procedure handles window state here and hands input to
// Win32Input. Main thread only, except post() and postUserMessage().
#pragma once

#include "engine/window/NativeWindow.h"
#include "engine/window/win32/Win32Input.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace orvex {

class WglNativeContext;

class Win32NativeWindow final : public NativeWindow {
public:
    explicit Win32NativeWindow(Window& owner);
    ~Win32NativeWindow() override;

    bool create(const Window::ContextSettings& settings) override;
    UniquePtr<NativeContext> createContext(const Window::ContextSettings& settings) override;
    void* platformHandle() const override { return hwnd; }
    void show() override;
    void hide() override;
    void destroy() override;
    void post(Callee<void>* callee) override;
    void postUserMessage(uintptr_t code, intptr_t value) override;

    HWND handle() const { return hwnd; }
    HDC deviceContext() const { return hdc; }
    // A context on this window is being destroyed (WglNativeContext's destructor).
    void forgetContext(WglNativeContext* context);

    // Messages for the window, from the class's window procedure (`window` is this window's
    // handle; during creation it arrives before handle() knows it).
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The process-wide window class (registered once); false when registration failed.
    static bool registerWindowClass();
    static const wchar_t* windowClassName();

protected:
    void applyMode(int previousMode, bool sizeChanged) override;
    void applyTitle() override;
    void applyMinimumSize() override;
    void applyIcon() override;
    double queryDpiScale() override;
    void setCapture(bool captured) override;
    bool dispatchNext() override;
    void waitForMessage() override;

private:
    struct Placement {
        bool hasPosition = false;
        POINT position{};
        SIZE client{};
    };

    DWORD styleOf(int windowMode) const;
    SIZE outerSizeOf(SIZE client, int windowMode) const;
    Placement placementFor(int windowMode);
    void place(int previousMode, bool sizeChanged, const RECT* suggested);
    void enterDisplayMode();
    void restoreDisplayMode();
    void clipCursor();
    void destroyIcons();
    void swapPending();
    void onActivate(bool active, bool minimisedNow);
    void onDpiChanged(int newDpi, const RECT* suggested);
    std::wstring displayDeviceName() const;

    HWND hwnd = nullptr;
    std::atomic<HWND> postTarget{nullptr}; // read by post() on any thread
    HDC hdc = nullptr;
    HICON bigIcon = nullptr;   // owned (made from Window::Icon), or null
    HICON smallIcon = nullptr; // owned, or null
    int dpi = 96;              // the window's DPI as last reported
    bool perMonitorDpi = false;    // non-client DPI scaling was enabled for this window
    bool displayModeChanged = false;
    // Record fields the shared Window offers no setter for yet; kept so the message rules hold.
    bool clipCursorWanted = false; // confine the pointer to the client area while focused
    bool blockScreenSaver = false; // swallow screen-saver and monitor-power requests
    bool trackingLeave = false;    // TrackMouseEvent(TME_LEAVE) is armed
    bool pendingSwap = false;      // a frame was swapped before showing; swap once more
    std::wstring displayModeDevice; // the display whose mode was changed
    win32::InputState input;
    std::vector<WglNativeContext*> contexts; // live contexts on this window, not owned
};

} // namespace orvex
