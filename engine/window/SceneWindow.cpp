// SceneWindow: handler forwarding and scene exchange.
#include "engine/window/SceneWindow.h"

namespace orvex {

Scene& SceneWindow::emptyScene()
{
    static Scene empty;
    return empty;
}

SceneWindow::SceneWindow(int mode)
    : Window(mode)
    , scene(&emptyScene())
{
}

void SceneWindow::setScene(Scene* next)
{
    if (!next)
        next = &emptyScene();
    if (next == scene)
        return;
    scene->detached();
    scene = next;
    scene->attached(*this);
}

void SceneWindow::closeRequested() { scene->closeRequested(); }
void SceneWindow::stateChanged(int code) { scene->stateChanged(code); }
void SceneWindow::resized(int width, int height) { scene->resized(width, height); }
void SceneWindow::characterInput(char32_t code) { scene->characterInput(code); }
void SceneWindow::keyPressed(const KeyEvent& event) { scene->keyPressed(event); }
void SceneWindow::keyReleased(const KeyEvent& event) { scene->keyReleased(event); }
void SceneWindow::mouseButtonPressed(const MouseButtonEvent& event) { scene->mouseButtonPressed(event); }
void SceneWindow::mouseButtonReleased(const MouseButtonEvent& event) { scene->mouseButtonReleased(event); }
void SceneWindow::mouseWheel(const MouseWheelEvent& event) { scene->mouseWheel(event); }
void SceneWindow::mouseMoved(const MouseMoveEvent& event) { scene->mouseMoved(event); }
void SceneWindow::paint() { scene->paint(); }
void SceneWindow::dpiChanged(double scale) { scene->dpiChanged(scale); }
void SceneWindow::userMessage(uintptr_t code, intptr_t value) { scene->userMessage(code, value); }

} // namespace orvex
