// ResponsiveApplication: run() and the messages it posts to itself (wake-up, scene change).
#include "engine/window/ResponsiveApplication.h"

#include "engine/window/NativeWindow.h"

namespace orvex {

ResponsiveApplication::ResponsiveApplication(Scene* initialScene)
    : SceneWindow(MODE_FIXED)
    , pendingScene(initialScene)
{
}

void ResponsiveApplication::closeRequested()
{
    quitRequested = true;
    // The loop may be about to sleep; this message makes sure it looks at the flag.
    postUserMessage(WAKE, marker());
}

void ResponsiveApplication::setScene(Scene* scene)
{
    pendingScene = scene ? scene : &emptyScene();
    postUserMessage(INSTALL_SCENE, marker());
}

void ResponsiveApplication::userMessage(uintptr_t code, intptr_t value)
{
    if (value != marker()) {
        SceneWindow::userMessage(code, value);
        return;
    }
    if (code == INSTALL_SCENE && pendingScene) {
        SceneWindow::setScene(pendingScene);
        pendingScene = nullptr;
    }
}

int ResponsiveApplication::run()
{
    if (!initialize())
        return initializationFailed();
    // initialize() normally makes the window with its GL context; a program without one still
    // needs a native window to receive messages.
    if (!exists() && !create())
        return initializationFailed();
    if (pendingScene) {
        SceneWindow::setScene(pendingScene);
        pendingScene = nullptr;
    }

    NativeWindow& loop = native();
    loop.dispatchQueued();
    paintNow(); // the first frame exists before the window is seen
    if (!quitRequested) {
        show();
        loop.dispatchQueued();
        while (!quitRequested) {
            loop.waitMessage();
            loop.dispatchQueued();
        }
        hide();
    }

    SceneWindow::setScene(nullptr);
    finalize();
    destroyNative();
    return 0;
}

} // namespace orvex
