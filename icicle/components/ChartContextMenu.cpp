// ChartContextMenu: the island is a column of StyledButtons in Disableable envelopes, scaled down
// a little, on a framed panel. A button's action only records which item was clicked; the item
// runs after the button's own call has returned, because running it closes the menu and the
// button must not be the one that removes itself from the tree mid-call.
#include "icicle/components/ChartContextMenu.h"

#include "engine/core/Callee.h"
#include "engine/window/KeyCodes.h"
#include "gui/envelopes/BackgroundEnvelope.h"
#include "gui/envelopes/Disableable.h"
#include "gui/envelopes/app/PaddedEnvelope.h"
#include "gui/envelopes/app/ScaledEnvelope.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/components/IcicleVisualization.h"
#include "icicle/components/ShellActions.h"
#include "icicle/components/TreeActions.h"

#include <algorithm>
#include <cmath>

using namespace orvex::gui;

namespace {

constexpr double MENU_SCALE = 0.75;
constexpr const char32_t* ITEM_TEXT[ChartContextMenu::ITEM_COUNT] = {
    U"OPEN", U"SHOW IN FILE MANAGER", U"COPY PATH", U"GO INTO", U"GO UP", U"REFRESH", U"MOVE TO TRASH",
};

} // namespace

// A button's action: records the item for runClicked.
class ChartContextMenu::ItemAction final : public orvex::Callee<void> {
public:
    ItemAction(ChartContextMenu* menu, int item) : menu(menu), item(item) {}
    Callee* clone() const override { return new ItemAction(menu, item); }
    void call() override { menu->clicked = item; }

private:
    ChartContextMenu* menu;
    int item;
};

// The menu's column: every item as wide as the widest, so the buttons line up as one block.
class ChartContextMenu::Column final : public Layout {
public:
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override
    {
        double width = minimum.x;
        for (int64_t i = 0; i < count(); ++i)
            width = std::max(width, childComponent(i)->layout({ 0, 0 }, maximum, scale, 0).x);
        double y = 0;
        for (int64_t i = 0; i < count(); ++i) {
            const Vector2 item = childComponent(i)->layout({ width, 0 }, { width, maximum.y }, scale, final);
            setChildRect(i, { 0, y, width, y + item.y });
            y += item.y;
        }
        return { width, std::max(y, minimum.y) };
    }
};

// One row of the menu: a button-coloured band as wide as the column behind the item's button, in
// the hover look while the item is current (the pointer over it makes it current) and in the
// disabled look while it cannot act, since the buttons only fill their natural width. The current
// item's band is framed by the focus ring, drawn inside the row because the rows touch.
class ChartContextMenu::Highlight final : public EnvelopePrototype {
public:
    Highlight(ChartContextMenu* menu, int item, orvex::UniquePtr<Component> content)
        : EnvelopePrototype(std::move(content)), menu(menu), item(item)
    {
    }
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override
    {
        const Vector2 natural = EnvelopePrototype::layout(minimum, maximum, scale, final);
        size = { std::max(natural.x, minimum.x), std::max(natural.y, minimum.y) };
        ring = std::max(1.0, std::round(StyledButton::RING * scale));
        return size;
    }
    Response draw(Renderer& renderer) override
    {
        uint32_t state = 0;
        if (!menu->enabled[size_t(item)])
            state = Renderer::DISABLED;
        else if (menu->current == item)
            state = Renderer::HOVER;
        Renderer::StateScope look(renderer, state, Renderer::HOVER | Renderer::DISABLED);
        Rect band { 0, 0, size.x, size.y };
        if (state == Renderer::HOVER && menu->looks.focusRing) {
            renderer.fillRectangle(band, 0, menu->looks.focusRing);
            band = { ring, ring, std::max(ring, size.x - ring), std::max(ring, size.y - ring) };
        }
        renderer.fillRectangle(band, 0, menu->looks.row);
        return EnvelopePrototype::draw(renderer) | HANDLED;
    }
    Response mouseMove(const orvex::MouseMoveEvent& event, bool hovered) override
    {
        Response answer = EnvelopePrototype::mouseMove(event, hovered);
        // The keyboard follows the pointer, so Enter runs the item that looks current.
        if (hovered && menu->enabled[size_t(item)] && menu->current != item) {
            menu->current = item;
            answer |= menu->focusCurrent();
        }
        return answer;
    }

private:
    ChartContextMenu* menu;
    int item;
    Vector2 size;
    double ring = 1;
};

ChartContextMenu::ChartContextMenu(orvex::UniquePtr<Component> chartContent, IcicleVisualization& chart, ShellActions& shell,
                                   TextObjectFactory& factory, const Looks& looks)
    : Layout(2)
    , chart(&chart)
    , shell(&shell)
    , factory(&factory)
    , looks(looks)
{
    setChild(0, std::move(chartContent));
}

ChartContextMenu::~ChartContextMenu() = default;

// [SECTION] Opening, closing, items

void ChartContextMenu::updateEnabled()
{
    const FilesystemNode* node = chart->selectedNode();
    const bool here = node && !node->scanSummary && shell->reachable(IcicleNodeLookup::nodePath(node));
    enabled[OPEN] = enabled[REVEAL] = here;
    enabled[COPY_PATH] = node != nullptr;
    enabled[GO_INTO] = node && node->type == FilesystemNode::Type::DIRECTORY && node != chart->focusedNode();
    enabled[GO_UP] = chart->canGoUp();
    enabled[REFRESH] = node && treeActions && treeActions->canRefresh(node);
    enabled[TRASH] = node && treeActions && treeActions->canTrash(node);
}

orvex::UniquePtr<Component> ChartContextMenu::buildMenu()
{
    auto column = orvex::makeUnique<Column>();
    for (int item = 0; item < ITEM_COUNT; ++item) {
        auto button = orvex::makeUnique<StyledButton>(*factory, ITEM_TEXT[item], looks.buttons, StyledButton::MENU_ITEM);
        button->addAction(orvex::makeUnique<ItemAction>(this, item));
        buttons[size_t(item)] = button.get();
        auto disableable = orvex::makeUnique<Disableable>(std::move(button));
        disableable->setDisabled(!enabled[size_t(item)]);
        column->setChild(item, orvex::makeUnique<Highlight>(this, item, std::move(disableable)));
    }
    auto panel = orvex::makeUnique<BackgroundEnvelope>(looks.panel, std::move(column));
    auto framed = orvex::makeUnique<BackgroundEnvelope>(
        looks.frame, orvex::makeUnique<::PaddedEnvelope>(Dimension { 0, 1 }, Dimension { 0, 1 }, Dimension { 0, 1 },
                                                        Dimension { 0, 1 }, std::move(panel)));
    return orvex::makeUnique<ScaledEnvelope>(MENU_SCALE, std::move(framed));
}

Response ChartContextMenu::openAt(Vector2 at)
{
    if (!chart->selectedNode())
        return 0;
    Response answer = isOpen() ? close(false) : 0;
    retired = nullptr;
    updateEnabled();
    anchor = at;
    setChild(1, buildMenu());
    current = -1;
    answer |= moveCurrent(1);
    return answer | HANDLED | REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT;
}

Response ChartContextMenu::close(bool refocusChart)
{
    if (!isOpen())
        return 0;
    const bool menuFocused = focused == 1;
    // Kept alive: the call that closes the menu may have come from inside it.
    retired = setChild(1, nullptr);
    buttons = {};
    current = -1;
    Response answer = HANDLED | REDRAW;
    if (menuFocused && refocusChart)
        answer |= Layout::focus(chart);
    return answer;
}

Response ChartContextMenu::choose(Item item)
{
    if (!enabled[size_t(item)] || !chart->selectedNode())
        return close(true);
    const FilesystemNode* node = chart->selectedNode();
    switch (item) {
    case OPEN:
        shell->open(IcicleNodeLookup::nodePath(node));
        break;
    case REVEAL:
        shell->reveal(IcicleNodeLookup::nodePath(node));
        break;
    case COPY_PATH:
        chart->copySelectedPath();
        break;
    case GO_INTO:
        chart->goInto(node);
        break;
    case GO_UP:
        chart->goUp();
        break;
    case REFRESH:
        treeActions->refresh(node);
        break;
    case TRASH:
        treeActions->trash(node);
        break;
    default:
        break;
    }
    return close(true);
}

Response ChartContextMenu::runClicked(Response answer)
{
    if (clicked < 0)
        return answer;
    const Item item = Item(std::exchange(clicked, -1));
    // The button asked for the focus it is about to lose with the menu.
    return (answer & ~Response(TAKE_FOCUS)) | choose(item);
}

Response ChartContextMenu::moveCurrent(int step)
{
    for (int tries = 0; tries < ITEM_COUNT; ++tries) {
        current = current < 0 && step < 0 ? ITEM_COUNT - 1 : (current + step + ITEM_COUNT) % ITEM_COUNT;
        if (current < 0)
            current = 0;
        if (enabled[size_t(current)])
            return focusCurrent();
    }
    current = -1;
    return HANDLED | REDRAW;
}

Response ChartContextMenu::focusCurrent()
{
    Component* button = current >= 0 ? buttons[size_t(current)] : nullptr;
    return (button ? Layout::focus(button) : 0) | HANDLED | REDRAW;
}

// [SECTION] Layout and draw

Vector2 ChartContextMenu::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    Component* content = childComponent(0);
    const Vector2 result = content ? content->layout(minimum, maximum, scale, final) : minimum;
    if (final) {
        // A resize moves the cells under the menu: it no longer points at what it was opened for.
        if (sized && !(result == size))
            close(false);
        size = result;
        sized = true;
    }
    setChildRect(0, { 0, 0, result.x, result.y });
    if (Component* menu = childComponent(1)) {
        const Vector2 natural = menu->layout({ 0, 0 }, result, scale, final);
        double x = anchor.x, y = anchor.y;
        if (x + natural.x > result.x)
            x = std::max(0.0, x - natural.x); // opens to the left of the point instead
        if (y + natural.y > result.y)
            y = std::max(0.0, result.y - natural.y);
        setChildRect(1, { x, y, x + natural.x, y + natural.y });
    }
    return result;
}

int64_t ChartContextMenu::childAt(Vector2 position)
{
    // The menu lies over the chart, so it is hit first.
    if (isOpen() && children[1].rect.containsStrictly(position))
        return 1;
    return childComponent(0) && children[0].rect.containsStrictly(position) ? 0 : -1;
}

Response ChartContextMenu::draw(Renderer& renderer)
{
    retired = nullptr;
    return Layout::draw(renderer);
}

// [SECTION] Input

Response ChartContextMenu::keyPress(const orvex::KeyEvent& event)
{
    const bool shift = event.modifiers & orvex::MOD_SHIFT;
    const bool menuKey = event.key == orvex::KEY_MENU || (event.key == orvex::KEY_F10 && shift);
    if (!isOpen()) {
        if (!menuKey || !chart->selectedNode())
            return Layout::keyPress(event);
        // For the selection: at its cell's lower left corner, kept inside the chart.
        Vector2 at { 0, 0 };
        if (const std::optional<Rect> cell = chart->selectedRect()) {
            at.x = std::clamp(cell->left, 0.0, std::max(0.0, size.x - 1));
            at.y = std::clamp(cell->bottom, 0.0, std::max(0.0, size.y - 1));
        }
        return openAt(at);
    }
    switch (event.key) {
    case orvex::KEY_ESCAPE:
        return close(true);
    case orvex::KEY_UP:
        return moveCurrent(-1);
    case orvex::KEY_DOWN:
        return moveCurrent(1);
    case orvex::KEY_TAB:
        return moveCurrent(shift ? -1 : 1);
    default:
        if (menuKey)
            return HANDLED;
        return runClicked(Layout::keyPress(event));
    }
}

Response ChartContextMenu::keyRelease(const orvex::KeyEvent& event) { return runClicked(Layout::keyRelease(event)); }

Response ChartContextMenu::mousePress(const orvex::MouseButtonEvent& event, ClickSequence& clicks)
{
    const Vector2 at { event.x, event.y };
    Response answer = 0;
    if (isOpen() && !children[1].rect.containsStrictly(at))
        answer |= close(true) & ~Response(HANDLED);
    if (event.button != RIGHT_BUTTON || isOpen())
        return answer | Layout::mousePress(event, clicks);
    // A right click selects the cell under it (the chart lies at this layer's origin) and opens
    // the menu there; on no cell it only clears the selection.
    answer |= Layout::mousePress(event, clicks);
    if (chart->select(chart->nodeAt(at)))
        answer |= REDRAW;
    answer |= Layout::focus(chart);
    return answer | openAt(at) | HANDLED;
}

Response ChartContextMenu::mouseRelease(const orvex::MouseButtonEvent& event)
{
    return runClicked(Layout::mouseRelease(event));
}

Response ChartContextMenu::mouseWheel(const orvex::MouseWheelEvent& event)
{
    // The wheel zooms the chart under the menu, which would then point at nothing in particular.
    const Response closed = isOpen() ? close(true) & ~Response(HANDLED) : 0;
    return closed | Layout::mouseWheel(event);
}

Response ChartContextMenu::mousePressOutside(const orvex::MouseButtonEvent& event, ClickSequence& clicks)
{
    const Response closed = sideEffect(close(false));
    return closed | Layout::mousePressOutside(event, clicks);
}

Response ChartContextMenu::loseFocus()
{
    const Response closed = sideEffect(close(false));
    return closed | Layout::loseFocus();
}

Response ChartContextMenu::resetInput()
{
    const Response closed = sideEffect(close(false));
    return closed | Layout::resetInput();
}
