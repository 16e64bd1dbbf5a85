// GalleryScreen: the toolkit's visual check, built from its own pieces: the start-screen
// arrangement (title, version and notice labels, the HOMEPAGE / SUPPORT row and the large SELECT
// DIRECTORY button, plus a disabled one), a paragraph in two weights that wraps to the window's
// width, a line of non-Latin text, every icon mask (plain and with the ACTIVE bit), and the whole
// built-in bitmap font. The whole page sits in a ModalLayer, which can show a confirmation panel
// over it. Shared by orvex-gallery, its end-to-end test and gui-bench.
#pragma once

#include "engine/core/UniquePtr.h"
#include "gui/Component.h"
#include "gui/render/BasicGLRenderer.h"

#include <functional>
#include <string>
#include <vector>

namespace orvex::gui {
class Disableable;
class ModalLayer;
class TextObjectFactory;
}

class GalleryScreen {
public:
    // Called with a button's text each time it is clicked.
    using ActionLog = std::function<void(const std::string& buttonText)>;

    GalleryScreen(orvex::gui::TextObjectFactory& factory, ActionLog log);
    ~GalleryScreen();

    // The root component (owned here) and the button the keyboard focus starts on.
    orvex::gui::Component* root() const { return rootComponent.get(); }
    orvex::gui::Component* firstButton() const { return selectButton; }

    // Shows a confirmation for a long path over the page; its buttons and Escape log and dismiss it.
    orvex::gui::Response showConfirmation();

    // The paragraph text, for tests that check its wrapping.
    static const char32_t* paragraph();

private:
    class Action;

    orvex::UniquePtr<orvex::gui::Component> makeButton(orvex::gui::TextObjectFactory& factory, const char32_t* text,
                                                       orvex::gui::Component** button = nullptr);
    const orvex::gui::BasicGLRenderer::StyleObject* style(const orvex::gui::ColorSet& colors);

    ActionLog log;
    std::vector<orvex::UniquePtr<orvex::gui::BasicGLRenderer::StyleObject>> styles; // outlive the tree
    const orvex::gui::BasicGLRenderer::StyleObject* buttonBackground = nullptr;
    const orvex::gui::BasicGLRenderer::StyleObject* buttonLabel = nullptr;
    orvex::gui::Component* selectButton = nullptr;
    orvex::gui::TextObjectFactory* factory = nullptr;
    orvex::gui::ModalLayer* layer = nullptr;
    orvex::UniquePtr<orvex::gui::Component> rootComponent;
};
