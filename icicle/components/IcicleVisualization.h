// IcicleVisualization: the interactive chart of a finished scan. It draws the scan's IcicleMesh
// inside its own rectangle (rows from 1 down; the root row is the root label's), zooms about the
// pointer with the wheel or a middle-button drag, pans with a left drag (which also scales the rows
// unless Shift is held), continues a fast drag with inertia, animates wheel zoom when smooth
// scrolling is on, opens or reveals the node under a double click, and keeps the scroll bar in step.
// It asks for frames (REDRAW from draw) only while an animation runs. Relies on the mesh, the node
// lookup, the settings and the shell actions outliving it (the application owns them all).
// Main thread.
#pragma once

#include "engine/core/Callee.h"
#include "engine/gl/MasterPtr.h"
#include "gui/Component.h"
#include "icicle/IcicleMesh.h"
#include "icicle/IcicleRenderer.h"
#include "icicle/components/ChartClock.h"
#include "icicle/components/IcicleView.h"

#include "icicle/components/ChartObserver.h"
#include "icicle/components/ChartSettings.h"

#include "icicle/components/ChartNavigation.h"
#include "icicle/components/SelectionOutline.h"
#include "icicle/components/ViewTransition.h"

struct FilesystemNode;
struct SmallItemBlock;
class IcicleNodeLookup;
class ShellActions;
class VisualizationScrollBar;

class IcicleVisualization : public orvex::gui::Component {
public:
    enum class DragMode { NONE, HORIZONTAL, BOTH, MIDDLE_ZOOM };

    // `mesh`, `lookup`, `settings` and `shell` are not owned and must outlive the component.
    // `settings` is read at every event, so a reload takes effect at once. `clock` drives the
    // animations (tests pass their own).
    IcicleVisualization(const IcicleResources& resources, const IcicleMesh<orvex::MasterPtr, int>& mesh,
                        const IcicleNodeLookup& lookup, const ChartSettings& settings, ShellActions& shell,
                        ChartClock clock = monotonicClock());
    ~IcicleVisualization() override;

    // Connects the scroll bar: its position listeners get this chart's handler, and its thumb is
    // kept in step from now on. The bar must not be used after this component is gone (the
    // application replaces both together).
    void setScrollBar(VisualizationScrollBar* bar);
    // The scroll bar's listener: places the view at `position` of its free travel. Does not
    // notify the bar back.
    void scrollPositionChanged(double position);

    // The cell under the pointer (null when none), the selected cell (null when none) and the
    // focused folder (the tree's root until the user goes into a folder). Every change of any of
    // them reaches the observer.
    const FilesystemNode* hoveredNode() const { return hovered; }
    // The block of too-small children under the pointer (null when none; then hoveredNode may be set).
    const SmallItemBlock* hoveredBlock() const { return hoveredSmall; }
    const FilesystemNode* selectedNode() const { return selected; }
    const FilesystemNode* focusedNode() const { return focused; }
    // Null for none; not owned, must outlive this component or be replaced first.
    void setObserver(ChartObserver* newObserver) { observer = newObserver; }

    // The small-item block drawn under `position` (component units) at the current zoom: the
    // folder, how many of its children it stands for and their bytes ("300,000 smaller items,
    // 13.97 GB"). Null where none is drawn.
    const SmallItemBlock* smallItemsAt(orvex::gui::Vector2 position) const;
    // The finest detail level the chart draws at the current zoom and size.
    int detailLevel() const;

    const IcicleView& view() const { return chartView; }
    DragMode dragMode() const { return drag; }
    DragMode inertiaMode() const { return inertia; }
    double pendingZoom() const { return pendingZoomAmount; }

    using orvex::gui::Component::layout;
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale,
                               int final) override;
    // Advances the running animations by the time since the last frame, then draws the chart.
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;
    orvex::gui::Response mousePress(const orvex::MouseButtonEvent& event, orvex::gui::ClickSequence& clicks) override;
    orvex::gui::Response mouseRelease(const orvex::MouseButtonEvent& event) override;
    orvex::gui::Response mouseWheel(const orvex::MouseWheelEvent& event) override;
    orvex::gui::Response mouseMove(const orvex::MouseMoveEvent& event, bool hovered) override;
    orvex::gui::Response resetInput() override;
    // The pointer left the chart: no cell is hovered any more.
    orvex::gui::Response mouseLeave() override;

    // [selection and focus] ---------------------------------------------------------------------
    // A click selects a cell (outlined over the chart); with the keyboard focus the arrows move
    // the selection, Enter goes into a selected folder (its row on top, its bytes across the
    // width), and Backspace, Alt+Up, the back button and Home go back out. ChartNavigation finds
    // the cells, ViewTransition animates the change; the context menu is ChartContextMenu's.
    // The node under a point of the component, null for none (or one outside the focused folder).
    const FilesystemNode* nodeAt(orvex::gui::Vector2 position) const;
    // Selects `node` (null clears); true when the selection changed. A node without a cell, or
    // outside the focused folder, clears it.
    bool select(const FilesystemNode* node);
    // Makes `folder` the focus: its row on top, its bytes across the width (the whole tree for
    // the root), animated when smooth scrolling is on. False for a file, a node without a cell
    // or the current focus.
    bool goInto(const FilesystemNode* folder);
    // The focused folder's parent becomes the focus and the folder left is selected; false at the
    // whole tree. goHome shows the whole tree as it first appeared (its zoom and row height
    // too); false when that is already the view.
    bool goUp();
    bool goHome();
    bool canGoUp() const { return focused != rootNode(); }
    // Copies the selected cell's path to the clipboard through the shell actions.
    void copySelectedPath();
    // The selected cell in component units (none when nothing is selected or it has no cell).
    std::optional<orvex::gui::Rect> selectedRect() const;
    // Run after every change of the focused folder, once its view target is set.
    orvex::CalleeList<void>& focusListeners() { return focusChanged; }
    // The selection frame's colours (not owned; they must outlive the component).
    void setOutlineStyles(const orvex::gui::Renderer::StyleObject* light, const orvex::gui::Renderer::StyleObject* dark);
    bool hasKeyboardFocus() const { return keyboardFocus; }

    // What a chart rebuilt from the same tree after an edit takes over from this one: the focus,
    // the selection and the view, with `anchor`'s left edge kept where it was on the screen at the
    // same bytes per pixel, as far as the new sizes allow; a view that showed the whole focused
    // folder shows the whole of it again. The caller moves the nodes out of the
    // part of the tree it is about to change before the edit (TreeEdit::liftOutOf).
    struct Placement {
        const FilesystemNode* focused = nullptr;
        const FilesystemNode* selected = nullptr;
        const FilesystemNode* anchor = nullptr;
        double anchorX = 0.0;       // the anchor's left edge, component pixels
        double bytesPerPixel = 0.0; // 0: the anchor had no cell, the view is left as built
        double rowScale = 0.125;
        bool wholeFocus = false;    // the view showed all of the focused folder
    };
    Placement placement(const FilesystemNode* anchor) const;
    // Applied at once when the chart has its size, else at its first layout.
    void takePlacement(const Placement& placement);

    std::optional<orvex::gui::Rect> focusBounds() override;
    orvex::gui::Response focusTraverse(int direction) override;
    orvex::gui::Response gainFocus() override;
    orvex::gui::Response loseFocus() override;
    orvex::gui::Response keyPress(const orvex::KeyEvent& event) override;

    static constexpr int BACK_BUTTON = 4; // the mouse's back button (X1)

    static constexpr double DOUBLE_PRESS_DISTANCE = 2.25; // pixels between the two presses of a double click
    static constexpr double MIDDLE_ZOOM_RATE = 0.0625;    // zoom units per pixel of middle drag
    static constexpr double INERTIA_RELEASE_WINDOW = 0.0625; // seconds after the last move that still fling

private:
    // Both answer 0 when idle; HANDLED while running, plus REDRAW while they still have work.
    orvex::gui::Response smoothScrollStep(double dt);
    orvex::gui::Response inertiaStep(double dt);
    // View changes made here reach the scroll bar.
    bool zoomView(double amount, double anchor);
    bool panView(double pixels);
    void notifyScrollBar();
    void openNodeAt(orvex::gui::Vector2 position, orvex::gui::Vector2 previousPress);
    void drawChart(orvex::gui::Renderer& renderer);
    bool inertiaEnabled() const { return settings->mouseDragInertia > 0.0; }
    const FilesystemNode* rootNode() const;
    // Finishes a running focus animation, so input acts on the final view.
    void settleView();
    // The view a focus on `folder` shows (the current row scale kept).
    IcicleView viewFocusedOn(const FilesystemNode* folder, const ChartCell& cell) const;
    // Makes `folder` the focus with `target` as its view, animated when smooth scrolling is on;
    // the focus listeners hear of it when the focus changed.
    void moveView(const FilesystemNode* folder, const IcicleView& target);
    // Moves the view the least that shows the selected cell whole: sideways and down the rows,
    // or down the rows only.
    void followSelection();
    void showSelectedRows();
    // Arrow keys: the cell the selection moves to, null for none.
    const FilesystemNode* arrowTarget(int key) const;
    void drawSelection(orvex::gui::Renderer& renderer);
    // The cell under the last pointer position inside the chart (none when it is outside),
    // recomputed after every move and every drawn frame, so a zoom or pan under a still pointer
    // is followed too. Tells the observer only when the cell changed.
    void updateHover();
    void forgetPointer();
    void notifyObserver()
    {
        if (observer)
            observer->chartNodesChanged();
    }

    IcicleRenderer renderer;
    orvex::GlContext* context;
    const IcicleMesh<orvex::MasterPtr, int>* mesh;
    const IcicleNodeLookup* lookup;
    const ChartSettings* settings;
    ShellActions* shell;
    VisualizationScrollBar* scrollBar = nullptr;
    ChartClock clock;
    orvex::gui::Vector2 size;
    double scale = 1.0;
    IcicleView chartView;
    DragMode drag = DragMode::NONE;
    DragMode inertia = DragMode::NONE;
    orvex::gui::Vector2 pressPosition;
    orvex::gui::Vector2 velocity;  // pixels per second
    double inertiaAnchorY = 0.0;   // pointer height the vertical inertia continues from
    double pendingZoomAmount = 0.0;
    double zoomAnchor = 0.0;       // fraction of the width under the last wheel event
    Stopwatch frameClock;
    Stopwatch moveClock;
    orvex::gui::Vector2 pointer;     // the last pointer position inside the chart
    bool pointerKnown = false;        // whether `pointer` is inside the chart now
    const FilesystemNode* hovered = nullptr;
    const SmallItemBlock* hoveredSmall = nullptr;
    const FilesystemNode* selected = nullptr;
    const FilesystemNode* focused = nullptr; // set to the root at construction
    ChartObserver* observer = nullptr;
    ChartNavigation navigation;
    std::optional<ChartCell> selectedCell; // kept with `selected`: the lookup never changes
    ViewTransition transition;
    SelectionOutline outline;
    orvex::CalleeList<void> focusChanged;
    double dragTravel = 0.0; // farthest the pointer got from the press during a left drag
    bool keyboardFocus = false;
    std::optional<Placement> pendingPlacement;
    void applyPlacement(const Placement& placement);
};
