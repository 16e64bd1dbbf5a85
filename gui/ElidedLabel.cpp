// ElidedLabel: the fit is a bisection on the number of code points kept, each step a layout of
// the shortened text, bounded above by what the first lines of the whole text hold.
#include "gui/ElidedLabel.h"

namespace orvex::gui {

ElidedLabel::ElidedLabel(std::u32string_view initialText, UniquePtr<TextObject> object, const Renderer::StyleObject* labelStyle,
                         int lines)
    : Label(initialText, std::move(object), labelStyle, Alignment { 0, 0 }), maxLines(lines), shown(initialText)
{
}

std::u32string ElidedLabel::elide(std::u32string_view whole, int64_t keep)
{
    if (keep >= int64_t(whole.size()))
        return std::u32string(whole);
    const size_t tail = size_t(keep / 2);
    const size_t head = size_t(keep) - tail;
    std::u32string result(whole.substr(0, head));
    result += U'\u2026';
    result += whole.substr(whole.size() - tail);
    return result;
}

void ElidedLabel::fit(double width, double scale)
{
    if (textObject.get() == fittedObject && text == fittedText && width == fittedWidth && scale == fittedScale)
        return;
    fittedObject = textObject.get();
    fittedText = text;
    fittedWidth = width;
    fittedScale = scale;

    TextObject& object = *textObject;
    object.setScale(scale);
    object.setWrapWidth(width);
    object.setText(text);
    shown = text;
    if (maxLines <= 0 || object.layout().lineCount() <= maxLines)
        return;
    const auto fits = [&](int64_t keep) {
        object.setText(elide(text, keep));
        return object.layout().lineCount() <= maxLines;
    };
    int64_t low = 0;
    int64_t high = object.layout().lineRange(maxLines - 1).end;
    while (low < high) {
        const int64_t middle = (low + high + 1) / 2;
        if (fits(middle))
            low = middle;
        else
            high = middle - 1;
    }
    shown = elide(text, low);
    object.setText(shown);
}

Vector2 ElidedLabel::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    if (textObject)
        fit(maximum.x, scale);
    return Label::layout(minimum, maximum, scale, final);
}

} // namespace orvex::gui
