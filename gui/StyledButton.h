// StyledButton: the look of every button on the start and chart screens, a Button over a fixed
// stack: hover tracking, a filled background, clipping, a minimum width of 180, margins of 16 by 4
// (scaled units, whole pixels) and a bold label of height 20, centred; a menu item's label sits at
// the left margin instead, and its hover look is left to the row that holds it. The two styles
// are made by the renderer (their concrete class belongs to it) from the looks below and passed
// in. Given a focus ring style, the button wears a ring around it (outside its own
// rectangle, 2 scaled units wide) while it holds the keyboard focus and is enabled.
#pragma once

#include "gui/Button.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace orvex::gui {
class TextObjectFactory;
}

class StyledButton : public orvex::gui::Button {
public:
    struct Styles {
        const orvex::gui::Renderer::StyleObject* background = nullptr; // made from backgroundLook()
        const orvex::gui::Renderer::StyleObject* label = nullptr;      // made from labelLook()
        const orvex::gui::Renderer::StyleObject* focusRing = nullptr;  // null: the focus is not shown
    };

    // A style's colours: the base set and the variants in the order they are tried (the first
    // whose state bits are all set in the renderer's state wins).
    struct Look {
        struct Variant {
            uint32_t stateMask;
            orvex::gui::ColorSet colors;
        };
        orvex::gui::ColorSet base;
        std::array<Variant, 3> variants; // DISABLED, PRESSED, HOVER
    };
    static Look backgroundLook();
    static Look labelLook();
    // A style of the renderer's style class (a base colour set plus addVariant) made from a look.
    template <typename Style>
    static orvex::UniquePtr<Style> makeStyle(const Look& look)
    {
        auto style = orvex::makeUnique<Style>(look.base);
        for (const Look::Variant& variant : look.variants)
            style->addVariant(variant.stateMask, variant.colors);
        return style;
    }

    enum Kind : int {
        STANDALONE, // the label centred, the HOVER look while the pointer is over the button
        MENU_ITEM,  // the label at the left margin, the HOVER look as the drawing state has it
    };

    // The label's text object comes from `factory` (the default face, height 20, bold).
    StyledButton(orvex::gui::TextObjectFactory& factory, std::u32string_view text, const Styles& styles,
                 Kind kind = STANDALONE);
    ~StyledButton() override;

    static constexpr double RING = 2; // the focus ring's width in scaled units

    using orvex::gui::Component::layout;
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;
    // A focus change redraws the button when it has a ring to show or hide.
    orvex::gui::Response focus(orvex::gui::Component* target) override;
    orvex::gui::Response focusTraverse(int direction) override;
    orvex::gui::Response loseFocus() override;

private:
    orvex::gui::Response redrawingRing(orvex::gui::Response answer) const;

    const orvex::gui::Renderer::StyleObject* ring;
    orvex::gui::Vector2 size;
    double ringWidth = RING;
};
