// ModalLayer: holds a content component (child 0, its whole area) and, while one is shown, a panel
// centred over it (child 1) that owns the input. The content then gets no keys, no presses, no
// wheel and no hover; Tab and Shift+Tab cycle through the panel's focusable components with
// wrap-around and never leave it; Escape runs the panel's cancel action. A panel dismissed from
// inside one of its own calls (a button's action) is kept alive until the next draw. Main thread.
#pragma once

#include "gui/layouts/Layout.h"

#include <functional>
#include <vector>

namespace orvex::gui {

class ModalLayer : public Layout {
public:
    explicit ModalLayer(UniquePtr<Component> content);
    ~ModalLayer() override;

    // Shows `panel` over the content (replacing a panel already shown) and gives it the keyboard
    // focus: `initialFocus` when the panel holds it, else its first focusable component. `cancel`
    // runs on Escape and on cancel(); it usually dismisses. `returnFocus` (in the content, not
    // owned; may be null) gets the focus back on dismiss when the panel has it then.
    Response show(UniquePtr<Component> panel, Component* initialFocus, std::function<void()> cancel,
                  Component* returnFocus = nullptr);
    // Removes the panel; safe from inside the panel's own calls.
    Response dismiss();
    // Runs the cancel action as Escape would (for a parent that takes Escape first).
    Response cancel();
    bool isShown() const { return childComponent(1) != nullptr; }
    Component* panel() const { return childComponent(1); }

    // Drawn over the content while a panel is shown; a translucent colour dims it. Not owned.
    const Renderer::StyleObject* shade = nullptr;

    using Component::layout;
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
    int64_t childAt(Vector2 position) override;
    Response draw(Renderer& renderer) override;
    Response focus(Component* target) override;
    Response focusTraverse(int direction) override;
    Response textInput(uint32_t codePoint) override;
    Response keyPress(const KeyEvent& event) override;
    Response keyRelease(const KeyEvent& event) override;
    Response mousePress(const MouseButtonEvent& event, ClickSequence& clicks) override;
    Response mouseRelease(const MouseButtonEvent& event) override;
    Response mouseWheel(const MouseWheelEvent& event) override;
    Response mouseMove(const MouseMoveEvent& event, bool hovered) override;
    Response mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks) override;

private:
    // Runs `call` (a routing into the children) and, once the outermost one returns, settles what
    // a show or dismiss inside it left for afterwards.
    template <typename Call>
    Response dispatch(Call&& call);
    Response settle(Response answer);
    // Moves the layer's focus onto the panel and, inside it, onto `panelFocus` or its first stop.
    Response focusPanel();
    void placePanel(Vector2 area, double scale, int final);

    std::function<void()> cancelAction;
    Component* panelFocus = nullptr;  // the panel's initial focus, not owned
    Component* returnFocus = nullptr; // in the content, not owned
    bool refocusPending = false;      // dismissed inside a call: returnFocus gets the focus after it
    bool shownDuringCall = false;     // shown inside a call: the content may have refocused itself since
    int depth = 0;                    // nested dispatches running
    Vector2 area;                     // the last final layout's size and scale, for a panel shown between layouts
    double areaScale = 1;
    std::vector<UniquePtr<Component>> retired; // dismissed panels, kept until the calls that dismissed them returned
};

} // namespace orvex::gui
