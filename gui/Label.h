// Label: shows one text object inside its box, aligned horizontally and vertically, in the
// colours of its style. The text object may come later from a configurator (the renderer's gives
// a built-in one to a label that has none).
#pragma once

#include "gui/Component.h"
#include "gui/TextObject.h"

#include <string>
#include <string_view>

namespace orvex::gui {

class Label : public Component {
public:
    // 0 left / top, 1 centre, 2 right / bottom.
    struct Alignment {
        int horizontal = 0;
        int vertical = 0;
    };

    Label(std::u32string&& text, UniquePtr<TextObject> textObject, const Renderer::StyleObject* style, Alignment alignment);
    Label(std::u32string_view text, UniquePtr<TextObject> textObject, const Renderer::StyleObject* style, Alignment alignment);
    Label(const char32_t* text, UniquePtr<TextObject> textObject, const Renderer::StyleObject* style, Alignment alignment)
        : Label(std::u32string_view(text), std::move(textObject), style, alignment)
    {
    }
    Label(UniquePtr<TextObject> textObject, const Renderer::StyleObject* style, Alignment alignment)
        : Label(std::u32string(), std::move(textObject), style, alignment)
    {
    }

    // Stores the text and hands it to the text object. The caller asks for a new layout
    // (RELAYOUT_WIDTH | RELAYOUT_HEIGHT) when the size may change.
    void setText(std::u32string&& newText);
    void setText(std::u32string_view newText) { setText(std::u32string(newText)); }
    void setText(const char32_t* newText) { setText(std::u32string(newText)); }

    void configure(Configurator& configurator) override;
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;
    Response draw(Renderer& renderer) override;

    std::u32string text;
    Alignment alignment;
    UniquePtr<TextObject> textObject; // may be null
    Vector2 textOrigin;               // where the text object's origin is drawn, in the label's frame
    Vector2 size;                     // the result of the last layout

private:
    void updateTextOrigin();
};

} // namespace orvex::gui
