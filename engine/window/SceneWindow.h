// SceneWindow: a Window that forwards its handlers (all but destroyed) to the current Scene.
// The scene is not owned; a process-wide empty scene stands in when none is set, so the
// current scene is never null. Main thread only.
#pragma once

#include "engine/window/Scene.h"
#include "engine/window/Window.h"

namespace orvex {

class SceneWindow : public Window {
public:
    explicit SceneWindow(int mode = MODE_FIXED);

    void closeRequested() override;
    void stateChanged(int code) override;
    void resized(int width, int height) override;
    void characterInput(char32_t code) override;
    void keyPressed(const KeyEvent& event) override;
    void keyReleased(const KeyEvent& event) override;
    void mouseButtonPressed(const MouseButtonEvent& event) override;
    void mouseButtonReleased(const MouseButtonEvent& event) override;
    void mouseWheel(const MouseWheelEvent& event) override;
    void mouseMoved(const MouseMoveEvent& event) override;
    void paint() override;
    void dpiChanged(double scale) override;
    void userMessage(uintptr_t code, intptr_t value) override;

    // Installs `scene` (null: the empty scene) at once: detached() on the old one, attached()
    // on the new one; nothing when it is already current.
    virtual void setScene(Scene* scene);
    Scene& currentScene() const { return *scene; }

    static Scene& emptyScene();

private:
    Scene* scene; // never null, not owned
};

} // namespace orvex
