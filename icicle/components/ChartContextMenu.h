// ChartContextMenu: the chart's context menu, and the layer that holds it over the chart. It wraps
// the chart component (child 0, its whole area) and, while open, an island of buttons (child 1)
// at the point it was opened: Open, Show in file manager, Copy path, Go into, Go up, Refresh and
// Move to Trash (the last two through the program's TreeActions). A right click
// on a cell selects it and opens the menu there; the Menu key or Shift+F10 opens it for the
// selection. The labels line up at one left inset, and the item the keyboard is on wears the
// focus ring. Up and Down move between the usable items, Enter or Space runs one, Escape (routed
// here by whoever handles Escape first), a click outside, focus loss and a resize close it. Items
// that cannot act are disabled: Open and Show for a path not on this machine, Go into for a file
// or the focused folder, Go up at the whole tree. Main thread.
#pragma once

#include "gui/Component.h"
#include "gui/StyledButton.h"
#include "gui/layouts/Layout.h"

#include <array>

namespace orvex::gui {
class TextObjectFactory;
}
class IcicleVisualization;
class ShellActions;
class TreeActions;

class ChartContextMenu : public orvex::gui::Layout {
public:
    enum Item : int { OPEN, REVEAL, COPY_PATH, GO_INTO, GO_UP, REFRESH, TRASH, ITEM_COUNT };

    struct Looks {
        // The buttons draw their labels only (a clear background): each row's band, `row`, is
        // drawn across the column in the button looks by the menu itself.
        StyledButton::Styles buttons;
        const orvex::gui::Renderer::StyleObject* row = nullptr;   // made from StyledButton::backgroundLook()
        const orvex::gui::Renderer::StyleObject* frame = nullptr; // the island's border
        const orvex::gui::Renderer::StyleObject* panel = nullptr; // behind the buttons
        const orvex::gui::Renderer::StyleObject* focusRing = nullptr; // inside the current row's band; null: none
    };

    // `chartContent` is the chart's subtree, which must place `chart` at this layer's origin at
    // the same size. `chart`, `shell`, `factory` and the looks' styles are not owned and must
    // outlive the layer.
    ChartContextMenu(orvex::UniquePtr<orvex::gui::Component> chartContent, IcicleVisualization& chart, ShellActions& shell,
                     orvex::gui::TextObjectFactory& factory, const Looks& looks);
    ~ChartContextMenu() override;

    // Opens the menu for the selection with its corner at `anchor` (layer units), moved inside the
    // layer where it would stick out. Nothing without a selection.
    orvex::gui::Response openAt(orvex::gui::Vector2 anchor);
    // Closes the menu; with `refocusChart` the chart gets the keyboard focus back if the menu had it.
    orvex::gui::Response close(bool refocusChart = true);
    // Not owned; null (the default) leaves Refresh and Move to Trash disabled.
    void setTreeActions(TreeActions* actions) { treeActions = actions; }
    bool isOpen() const { return childComponent(1) != nullptr; }
    bool itemEnabled(Item item) const { return enabled[size_t(item)]; }
    // Runs an item as its button would (nothing when it is disabled), then closes the menu.
    orvex::gui::Response choose(Item item);

    using orvex::gui::Component::layout;
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
    int64_t childAt(orvex::gui::Vector2 position) override;
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;
    orvex::gui::Response keyPress(const orvex::KeyEvent& event) override;
    orvex::gui::Response keyRelease(const orvex::KeyEvent& event) override;
    orvex::gui::Response mousePress(const orvex::MouseButtonEvent& event, orvex::gui::ClickSequence& clicks) override;
    orvex::gui::Response mouseRelease(const orvex::MouseButtonEvent& event) override;
    orvex::gui::Response mouseWheel(const orvex::MouseWheelEvent& event) override;
    orvex::gui::Response mousePressOutside(const orvex::MouseButtonEvent& event, orvex::gui::ClickSequence& clicks) override;
    orvex::gui::Response loseFocus() override;
    orvex::gui::Response resetInput() override;

    static constexpr int RIGHT_BUTTON = 2;

private:
    class ItemAction;
    class Highlight;
    class Column;

    orvex::UniquePtr<orvex::gui::Component> buildMenu();
    void updateEnabled();
    // Moves the keyboard's current item to the next usable one in `step`'s direction.
    orvex::gui::Response moveCurrent(int step);
    orvex::gui::Response focusCurrent();
    // Runs the item a button click left in `clicked` once the button's own call has returned.
    orvex::gui::Response runClicked(orvex::gui::Response answer);

    IcicleVisualization* chart;
    ShellActions* shell;
    TreeActions* treeActions = nullptr;
    orvex::gui::TextObjectFactory* factory;
    Looks looks;
    std::array<bool, ITEM_COUNT> enabled {};
    std::array<orvex::gui::Component*, ITEM_COUNT> buttons {};
    int current = -1;  // the item Up, Down and Enter act on
    int clicked = -1;  // set by a button's action, run after it returns
    orvex::gui::Vector2 anchor;
    orvex::gui::Vector2 size;
    bool sized = false;
    orvex::UniquePtr<orvex::gui::Component> retired; // a closed menu, kept until the call that closed it returned
};
