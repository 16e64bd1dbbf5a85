// Scene: an exchangeable receiver of a SceneWindow's handlers, so one window can switch what it
// shows and how it answers input without being subclassed again. Every operation does nothing
// by default. Main thread only.
#pragma once

#include "engine/window/Events.h"

#include <cstdint>

namespace orvex {

class Window;

class Scene {
public:
    virtual ~Scene() = default;
    // The window now forwards its handlers here / no longer does.
    virtual void attached(Window& window) { (void)window; }
    virtual void detached() {}

    // The handlers of Window from closeRequested to userMessage, in the same order.
    virtual void closeRequested() {}
    virtual void stateChanged(int code) { (void)code; }
    virtual void resized(int width, int height) { (void)width, (void)height; }
    virtual void characterInput(char32_t code) { (void)code; }
    virtual void keyPressed(const KeyEvent& event) { (void)event; }
    virtual void keyReleased(const KeyEvent& event) { (void)event; }
    virtual void mouseButtonPressed(const MouseButtonEvent& event) { (void)event; }
    virtual void mouseButtonReleased(const MouseButtonEvent& event) { (void)event; }
    virtual void mouseWheel(const MouseWheelEvent& event) { (void)event; }
    virtual void mouseMoved(const MouseMoveEvent& event) { (void)event; }
    virtual void paint() {}
    virtual void dpiChanged(double scale) { (void)scale; }
    virtual void userMessage(uintptr_t code, intptr_t value) { (void)code, (void)value; }
};

} // namespace orvex
