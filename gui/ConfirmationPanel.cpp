// ConfirmationPanel: the frame, the text column and the button row. The button row and the body
// lay themselves out so that the buttons always keep their room: the text gets what is left, and
// a text too long for it is elided by its ElidedLabel.
#include "gui/ConfirmationPanel.h"

#include "engine/core/Callee.h"
#include "gui/ElidedLabel.h"
#include "gui/TextObjectFactory.h"
#include "gui/envelopes/BackgroundEnvelope.h"
#include "gui/envelopes/ClippedEnvelope.h"
#include "gui/envelopes/app/PaddedEnvelope.h"
#include "gui/layouts/Layout.h"

#include <algorithm>
#include <cmath>

using namespace orvex::gui;
using orvex::makeUnique;
using orvex::UniquePtr;

namespace {

constexpr double MARGIN = 16;      // inside the frame
constexpr double LINE_GAP = 6;     // between the title and the lines of text
constexpr double BUTTONS_GAP = 16; // above the button row
constexpr double BUTTON_GAP = 12;  // between the two buttons
constexpr double RING = 2;         // the focus ring's width

double pixels(double length, double scale) { return std::round(length * scale); }

class FunctionAction final : public orvex::Callee<void> {
public:
    explicit FunctionAction(std::function<void()> function) : function(std::move(function)) {}
    Callee* clone() const override { return new FunctionAction(function); }
    void call() override
    {
        if (function)
            function();
    }

private:
    std::function<void()> function;
};

// A line feed or another control character in a name would break the text apart or vanish.
std::u32string printable(const std::string& utf8)
{
    std::u32string text = fromUtf8(utf8);
    for (char32_t& c : text) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            c = U'\uFFFD';
    }
    return text;
}

} // namespace

// Two buttons at the right end of the row, each as wide as it wants when both fit and sharing the
// width otherwise; a ring's width of room around them for the focus ring.
class ConfirmationPanel::ButtonRow final : public Layout {
public:
    explicit ButtonRow(const Renderer::StyleObject* ring) : ring(ring) {}

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override
    {
        border = std::max(1.0, pixels(RING, scale));
        const double gap = pixels(BUTTON_GAP, scale);
        const double room = std::max(0.0, maximum.x - 2 * border);
        const Vector2 inner { room, std::max(0.0, maximum.y - 2 * border) };
        Vector2 first = childComponent(0)->layout({ 0, 0 }, inner, scale, 0);
        Vector2 second = childComponent(1)->layout({ 0, 0 }, inner, scale, 0);
        if (first.x + gap + second.x > room)
            first.x = second.x = std::max(0.0, std::floor((room - gap) / 2));
        const double height = std::max(first.y, second.y);
        const double total = first.x + gap + second.x + 2 * border;
        const double width = std::min(maximum.x, std::max(minimum.x, total));
        const double left = width - total + border;
        childComponent(0)->layout({ first.x, height }, { first.x, height }, scale, final);
        childComponent(1)->layout({ second.x, height }, { second.x, height }, scale, final);
        setChildRect(0, { left, border, left + first.x, border + height });
        setChildRect(1, { left + first.x + gap, border, left + first.x + gap + second.x, border + height });
        return { width, std::min(maximum.y, height + 2 * border) };
    }

    Response draw(Renderer& renderer) override
    {
        if (ring && (focused == 0 || focused == 1)) {
            const Rect& button = children[size_t(focused)].rect;
            renderer.fillRectangle({ button.left - border, button.top - border, button.right + border, button.bottom + border },
                                   0, ring);
        }
        return Layout::draw(renderer);
    }

private:
    const Renderer::StyleObject* ring;
    double border = 1;
};

// The title, the lines of text and, last, the button row, in a column as wide as the widest of
// them within the text width.
class ConfirmationPanel::Body final : public Layout {
public:
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override
    {
        const int64_t rowIndex = count() - 1;
        Component* row = childComponent(rowIndex);
        const double wrap = std::min(maximum.x, pixels(ConfirmationPanel::TEXT_WIDTH, scale));
        double width = std::max(minimum.x, row->layout({ 0, 0 }, maximum, scale, 0).x);
        for (int64_t i = 0; i < rowIndex; ++i)
            width = std::max(width, childComponent(i)->layout({ 0, 0 }, { wrap, maximum.y }, scale, 0).x);
        width = std::min(width, maximum.x);

        // The buttons keep their height; the text takes what is left above them.
        const double rowHeight = row->layout({ width, 0 }, { width, maximum.y }, scale, 0).y;
        const double textRoom = std::max(0.0, maximum.y - rowHeight - pixels(BUTTONS_GAP, scale));
        double y = 0;
        for (int64_t i = 0; i < rowIndex; ++i) {
            if (i > 0)
                y += pixels(LINE_GAP, scale);
            const double height = childComponent(i)->layout({ width, 0 }, { width, std::max(0.0, textRoom - y) }, scale, final).y;
            setChildRect(i, { 0, y, width, y + height });
            y += height;
        }
        y = std::min(y, textRoom) + (rowIndex > 0 ? pixels(BUTTONS_GAP, scale) : 0);
        const double height = row->layout({ width, 0 }, { width, std::max(0.0, maximum.y - y) }, scale, final).y;
        setChildRect(rowIndex, { 0, y, width, y + height });
        return { width, std::min(maximum.y, y + height) };
    }
};

ConfirmationPanel::ConfirmationPanel(TextObjectFactory& factory, const Text& text, const Looks& looks,
                                     std::function<void()> onCancel, std::function<void()> onConfirm)
{
    auto body = makeUnique<Body>();
    int64_t index = 0;
    body->setChild(index++, makeUnique<ElidedLabel>(printable(text.title), UniquePtr<TextObject>(factory.create(20, true)),
                                                    looks.title, 2));
    for (const std::string& line : text.lines) {
        body->setChild(index++, makeUnique<ElidedLabel>(printable(line), UniquePtr<TextObject>(factory.create(16, false)),
                                                        looks.text, MAX_LINES));
    }
    auto cancelButton = makeUnique<StyledButton>(factory, printable(text.cancel), looks.buttons);
    cancelButton->addAction(makeUnique<FunctionAction>(std::move(onCancel)));
    auto confirmButton = makeUnique<StyledButton>(factory, printable(text.confirm), looks.buttons);
    confirmButton->addAction(makeUnique<FunctionAction>(std::move(onConfirm)));
    cancel = cancelButton.get();
    confirm = confirmButton.get();
    auto row = makeUnique<ButtonRow>(looks.focusRing);
    row->setChild(0, std::move(cancelButton));
    row->setChild(1, std::move(confirmButton));
    body->setChild(index, std::move(row));

    // Text longer than the room is elided, but a panel squeezed below its buttons still clips.
    auto inner = makeUnique<BackgroundEnvelope>(
        looks.background, makeUnique<::PaddedEnvelope>(Dimension { 0, MARGIN }, Dimension { 0, MARGIN }, Dimension { 0, MARGIN },
                                                      Dimension { 0, MARGIN }, makeUnique<ClippedEnvelope>(std::move(body))));
    setContent(makeUnique<BackgroundEnvelope>(
        looks.frame, makeUnique<::PaddedEnvelope>(Dimension { 1, 0 }, Dimension { 1, 0 }, Dimension { 1, 0 }, Dimension { 1, 0 },
                                                  std::move(inner))));
}

ConfirmationPanel::~ConfirmationPanel() = default;
