// IcicleVisualization: the interactive chart of a finished scan. It draws the scan's IcicleMesh
// inside its own rectangle (rows from 1 down; the root row is the root label's), zooms about the
// pointer with the wheel or a middle-button drag, pans with a left drag (which also scales the rows
// unless Shift is held), continues a fast drag with inertia, animates wheel zoom when smooth
// scrolling is on, opens or reveals the node under a double click, and keeps the scroll bar in step.
// It asks for frames (REDRAW from draw) only while an animation runs. Relies on the mesh, the node
// lookup, the settings and the shell actions outliving it (the application owns them all).
// Main thread.
#pragma once

#include "engine/gl/MasterPtr.h"
#include "gui/Component.h"
#include "icicle/IcicleMesh.h"
#include "icicle/IcicleRenderer.h"
#include "icicle/components/ChartClock.h"
#include "icicle/components/IcicleView.h"

#include "icicle/components/ChartObserver.h"
#include "icicle/components/ChartSettings.h"

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
    const FilesystemNode* hovered = nullptr;
    const FilesystemNode* selected = nullptr;
    const FilesystemNode* focused = nullptr; // set to the root at construction
    ChartObserver* observer = nullptr;
};
