// ResponsiveApplication: a SceneWindow with the program's main loop. run() initialises, draws the
// first frame before showing the window, then sleeps until a message arrives and paints only when
// the window was invalidated; closing only ends the loop, and shutdown runs in a fixed order.
// Main thread only (other threads reach the loop through Window::post).
#pragma once

#include "engine/window/SceneWindow.h"

namespace orvex {

class ResponsiveApplication : public SceneWindow {
public:
    // The window starts in mode 0; `initialScene` (not owned) is installed when run() starts.
    explicit ResponsiveApplication(Scene* initialScene = nullptr);

    // Creates the native window and whatever the program needs; false ends run() at once.
    virtual bool initialize() = 0;
    // Called after the loop, with the window hidden but still existing.
    virtual void finalize() {}
    // The exit code run() returns when initialize() failed.
    virtual int initializationFailed() { return 1; }

    // Ends the loop after the current dispatch; the window is not closed here.
    void closeRequested() override;
    // Messages carrying this application's marker drive the loop; others reach the scene.
    void userMessage(uintptr_t code, intptr_t value) override;
    // Takes effect on the loop's next turn; the last of several calls wins.
    void setScene(Scene* scene) override;

    // The whole life of the window; returns the exit code (0 after a normal close).
    int run();

private:
    enum LoopMessage : uintptr_t { WAKE = 0, INSTALL_SCENE = 1 };
    intptr_t marker() const { return reinterpret_cast<intptr_t>(this); }

    Scene* pendingScene; // to install on the next turn, or null; not owned
    bool quitRequested = false;
};

} // namespace orvex
