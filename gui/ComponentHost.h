// ComponentHost: what a window does for its root component. It lays the root out whenever an
// answer asks for it (with the window's DPI scale times the interface scale, clamped to
// [0.5, 2], times the shrink factor of a window smaller than its reference size), asks for a repaint when an answer needs one, turns window messages into component
// events (Tab and Shift+Tab move the keyboard focus and wrap around, presses carry the click
// sequence), and drops every pressed or hovered state when the window is hidden, minimised or
// loses the focus. The window keeps its own work (GL context, clearing, presenting) and calls the
// host from its handlers. Main thread only.
#pragma once

#include "engine/window/Window.h"
#include "gui/Component.h"

namespace orvex::gui {

class ComponentHost {
public:
    explicit ComponentHost(orvex::Window& window) : window(window) {}

    // Not owned; null: events go nowhere.
    void setRoot(Component* component) { root = component; }
    Component* rootComponent() const { return root; }
    // The user's interface scale; applied at the next layout.
    void setInterfaceScale(double multiplier) { interfaceScale = multiplier; }
    // How the interface shrinks in a small window, so that text and buttons of fixed size do not
    // crowd out what is laid out to fill the window. Sizes are client sizes in unscaled pixels
    // (the client size over the DPI scale). Per axis, the factor runs linearly from 1 at
    // `reference` down to `smallestFactor` at `smallest` and stays there below it; the smaller of
    // the two applies. The default rule never shrinks.
    struct ShrinkRule {
        Vector2 smallest { 0, 0 };
        Vector2 reference { 0, 0 };
        double smallestFactor = 1.0;

        double factor(Vector2 unscaledClient) const;
    };
    void setShrinkRule(const ShrinkRule& rule) { shrinkRule = rule; }
    double layoutScale() const;

    // Acts on an answer: a relayout bit lays the root out at the client size, any of 0x34
    // requests the next paint. Returns the answer.
    Response handle(Response answer);
    // After a resize or a DPI change: lay out and repaint.
    void relayout() { handle(REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT | HANDLED); }

    // The root's draw with `renderer` (whose viewport the window has set) and Renderer::FOCUSED
    // set; handles the answer.
    Response draw(Renderer& renderer);

    void stateChanged(int code);
    void characterInput(char32_t code);
    // The root's answer, with Tab's traversal OR-ed in when the root did not handle the key.
    Response keyPressed(const KeyEvent& event);
    void keyReleased(const KeyEvent& event);
    void mouseButtonPressed(const MouseButtonEvent& event);
    void mouseButtonReleased(const MouseButtonEvent& event);
    void mouseWheel(const MouseWheelEvent& event);
    void mouseMoved(const MouseMoveEvent& event);

    ClickSequence clicks;

private:
    orvex::Window& window;
    Component* root = nullptr;
    double interfaceScale = 1.0;
    ShrinkRule shrinkRule;
};

} // namespace orvex::gui
