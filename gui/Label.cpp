// Label: text object sizing, alignment and drawing.
#include "gui/Label.h"

#include <algorithm>

namespace orvex::gui {

Label::Label(std::u32string&& initialText, UniquePtr<TextObject> object, const Renderer::StyleObject* labelStyle,
             Alignment initialAlignment)
    : text(std::move(initialText)), alignment(initialAlignment), textObject(std::move(object))
{
    style = labelStyle;
    if (textObject) {
        textObject->setAlignment(alignment.horizontal, alignment.vertical);
        textObject->setText(text);
    }
}

Label::Label(std::u32string_view initialText, UniquePtr<TextObject> object, const Renderer::StyleObject* labelStyle,
             Alignment initialAlignment)
    : Label(std::u32string(initialText), std::move(object), labelStyle, initialAlignment)
{
}

void Label::setText(std::u32string&& newText)
{
    text = std::move(newText);
    if (textObject)
        textObject->setText(text);
}

void Label::updateTextOrigin()
{
    const Rect b = textObject->bounds();
    switch (alignment.horizontal) {
    case 1:
        textOrigin.x = (size.x - b.left - b.right) * 0.5;
        break;
    case 2:
        textOrigin.x = size.x - b.right;
        break;
    default:
        textOrigin.x = -b.left;
    }
    switch (alignment.vertical) {
    case 1:
        textOrigin.y = (size.y - b.top - b.bottom) * 0.5;
        break;
    case 2:
        textOrigin.y = size.y - b.bottom;
        break;
    default:
        textOrigin.y = -b.top;
    }
}

Vector2 Label::layout(Vector2 minimum, Vector2 maximum, double scale, int)
{
    size = minimum;
    if (textObject) {
        textObject->setScale(scale);
        textObject->setWrapWidth(maximum.x);
        const Rect b = textObject->bounds();
        size = { std::min(maximum.x, std::max(minimum.x, b.width())), std::min(maximum.y, std::max(minimum.y, b.height())) };
        updateTextOrigin();
    }
    return size;
}

Response Label::draw(Renderer& renderer)
{
    if (!textObject || !(size.x > 0 && size.y > 0))
        return 0;
    renderer.drawText(textOrigin, textObject.get(), style);
    return HANDLED;
}

void Label::configure(Configurator& configurator)
{
    Component::configure(configurator);
    TextObject* configured = configurator.configureText(this, textObject.get());
    if (configured == textObject.get())
        return;
    textObject.reset(configured);
    if (!textObject)
        return;
    textObject->setAlignment(alignment.horizontal, alignment.vertical);
    if (size.x > 0)
        textObject->setWrapWidth(size.x);
    textObject->setText(text);
    updateTextOrigin();
}

} // namespace orvex::gui
