// SdlNativeWindow: SDL2 backend of NativeWindow. One SDL window with the OpenGL flag, created
// hidden; SDL_WaitEvent is the loop's sleep, and posted callees and user messages travel as
// registered SDL user events (SDL_PushEvent is thread-safe). Events are routed to their window
// by SDL window id; those naming no window go to the window that dispatches.
// Main thread only, except post() and postUserMessage().
#pragma once

#include "engine/window/NativeWindow.h"

#include <SDL.h>

#include <atomic>
#include <optional>
#include <vector>

namespace orvex {

class SdlNativeContext;

class SdlNativeWindow final : public NativeWindow {
public:
    explicit SdlNativeWindow(Window& owner);
    ~SdlNativeWindow() override;

    bool create(const Window::ContextSettings& settings) override;
    UniquePtr<NativeContext> createContext(const Window::ContextSettings& settings) override;
    void show() override;
    void hide() override;
    void destroy() override;
    void post(Callee<void>* callee) override;
    void postUserMessage(uintptr_t code, intptr_t value) override;

    SDL_Window* handle() const { return window; }
    void* platformHandle() const override { return window; }
    // A context on this window is being destroyed (SdlNativeContext's destructor).
    void forgetContext(SdlNativeContext* context);

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
    int displayIndex() const;
    void placeWindow(int previousMode, bool sizeChanged);

    SDL_Window* window = nullptr;
    std::atomic<Uint32> windowId{0}; // read by post() on any thread; 0 without a window
    std::vector<SdlNativeContext*> contexts; // live contexts on this window, not owned
    std::optional<SDL_Event> waited;         // taken by waitForMessage, dispatched next
};

} // namespace orvex
