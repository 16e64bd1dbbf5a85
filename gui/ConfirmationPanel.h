// ConfirmationPanel: a framed panel that asks before an action: a bold title, a few lines of
// text (each wrapped at the panel's width and elided in the middle past MAX_LINES lines, so a long
// path never makes the panel larger than the room it is given) and a row of two StyledButtons,
// cancel and confirm, in that Tab order. The focused button wears a ring. Meant to be shown
// through a ModalLayer with cancelButton() as the initial focus, so Enter cancels and Tab, Enter
// confirms. The styles come from the caller, as StyledButton's do. Main thread.
#pragma once

#include "gui/StyledButton.h"

#include <functional>
#include <string>
#include <vector>

namespace orvex::gui {
class TextObjectFactory;
}

class ConfirmationPanel : public orvex::gui::EnvelopePrototype {
public:
    struct Looks {
        StyledButton::Styles buttons;
        const orvex::gui::Renderer::StyleObject* frame = nullptr;      // the one-pixel border
        const orvex::gui::Renderer::StyleObject* background = nullptr; // behind the text and the buttons
        // Text colours; native text is rasterised onto their background colour, so make that
        // the background's fill.
        const orvex::gui::Renderer::StyleObject* title = nullptr;
        const orvex::gui::Renderer::StyleObject* text = nullptr;
        const orvex::gui::Renderer::StyleObject* focusRing = nullptr; // around the focused button
    };
    struct Text {
        std::string title;              // UTF-8
        std::vector<std::string> lines; // UTF-8; control characters are shown as U+FFFD
        std::string cancel;             // the buttons' labels, UTF-8
        std::string confirm;
    };

    // The actions run from inside the buttons' clicks, which may dismiss the panel (a ModalLayer
    // keeps it alive until the click has returned). `factory` and the styles must outlive the panel.
    ConfirmationPanel(orvex::gui::TextObjectFactory& factory, const Text& text, const Looks& looks,
                      std::function<void()> onCancel, std::function<void()> onConfirm);
    ~ConfirmationPanel() override;

    orvex::gui::Component* cancelButton() const { return cancel; }
    orvex::gui::Component* confirmButton() const { return confirm; }

    static constexpr int MAX_LINES = 3;       // per line of text; the title gets two
    static constexpr double TEXT_WIDTH = 560; // where text wraps at scale 1 when there is room

private:
    class Body;
    class ButtonRow;

    orvex::gui::Component* cancel = nullptr;
    orvex::gui::Component* confirm = nullptr;
};
