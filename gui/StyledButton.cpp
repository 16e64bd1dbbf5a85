// StyledButton: the button's envelope stack and the colours of its two styles.
#include "gui/StyledButton.h"

#include "gui/Label.h"
#include "gui/TextObjectFactory.h"
#include "gui/envelopes/BackgroundEnvelope.h"
#include "gui/envelopes/ClippedEnvelope.h"
#include "gui/envelopes/MinWidthEnvelope.h"
#include "gui/envelopes/MouseOverComponent.h"
#include "gui/envelopes/app/PaddedEnvelope.h"

#include <algorithm>
#include <cmath>

using namespace orvex::gui;
using orvex::makeUnique;
using orvex::UniquePtr;

namespace {

ColorSet grey(float level)
{
    ColorSet set;
    set.color = { level, level, level, 1 };
    return set;
}

// Text on an opaque background: native text is rasterised onto `backgroundColor`, so it matches
// the button fill of the same state.
ColorSet labelColors(float text, float fill)
{
    ColorSet set;
    set.color = { text, text, text, 1 };
    set.backgroundColor = { fill, fill, fill, 1 };
    return set;
}

} // namespace

StyledButton::Look StyledButton::backgroundLook()
{
    return { grey(0.3125f),
             { { { Renderer::DISABLED, grey(0.1875f) }, { Renderer::PRESSED, grey(0.625f) }, { Renderer::HOVER, grey(0.4375f) } } } };
}

StyledButton::Look StyledButton::labelLook()
{
    return { labelColors(1, 0.3125f),
             { { { Renderer::DISABLED, labelColors(0.125f, 0.1875f) },
                 { Renderer::PRESSED, labelColors(1, 0.625f) },
                 { Renderer::HOVER, labelColors(1, 0.4375f) } } } };
}

StyledButton::StyledButton(TextObjectFactory& factory, std::u32string_view text, const Styles& styles, Kind kind)
    : ring(styles.focusRing)
{
    const Label::Alignment alignment { kind == MENU_ITEM ? 0 : 1, 0 };
    UniquePtr<Component> label = makeUnique<Label>(text, UniquePtr<TextObject>(factory.create(20, true)), styles.label, alignment);
    UniquePtr<Component> padded = makeUnique<::PaddedEnvelope>(Dimension { 0, 16 }, Dimension { 0, 4 }, Dimension { 0, 16 },
                                                               Dimension { 0, 4 }, std::move(label));
    UniquePtr<Component> wide = makeUnique<MinWidthEnvelope>(Dimension { 0, 180 }, std::move(padded));
    UniquePtr<Component> clipped = makeUnique<ClippedEnvelope>(std::move(wide));
    UniquePtr<Component> background = makeUnique<BackgroundEnvelope>(styles.background, std::move(clipped));
    // A menu row draws its band in the item's look; the label, rasterised onto an opaque
    // background, must take the same state or it shows as a box of another grey.
    if (kind == MENU_ITEM)
        setContent(std::move(background));
    else
        setContent(makeUnique<MouseOverComponent>(std::move(background)));
}

StyledButton::~StyledButton() = default;

Vector2 StyledButton::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    const Vector2 result = Button::layout(minimum, maximum, scale, final);
    if (final) {
        size = result;
        ringWidth = std::max(1.0, std::round(RING * scale));
    }
    return result;
}

Response StyledButton::draw(Renderer& renderer)
{
    // Drawn first and larger than the button, so the button leaves only its border showing.
    const bool focusShown = ring && (renderer.state & Renderer::FOCUSED) && !(renderer.state & Renderer::DISABLED) && !contentFocused;
    if (focusShown)
        renderer.fillRectangle({ -ringWidth, -ringWidth, size.x + ringWidth, size.y + ringWidth }, 0, ring);
    return Button::draw(renderer);
}

Response StyledButton::redrawingRing(Response answer) const { return ring ? answer | REDRAW : answer; }

Response StyledButton::focus(Component* target)
{
    const Response answer = Button::focus(target);
    return answer & HANDLED ? redrawingRing(answer) : answer;
}

Response StyledButton::focusTraverse(int direction) { return redrawingRing(Button::focusTraverse(direction)); }

Response StyledButton::loseFocus() { return redrawingRing(Button::loseFocus()); }
