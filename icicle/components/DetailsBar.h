// DetailsBar: one line of native text under the chart that describes the hovered cell, else the
// selection, else the focused folder (with what the scan could not read). It observes the chart;
// a change only marks the line stale and asks for a frame, and the next draw builds the line
// once, fitted to the bar's width with a measuring text object of the same font, and hands it to
// the label only when it differs, so a pointer that stays on one cell rasterises nothing. The
// chart and the bar are made and destroyed together; neither calls the other once one is gone.
// Main thread.
#pragma once

#include "gui/Component.h"
#include "icicle/components/ChartObserver.h"
#include "icicle/components/DetailsText.h"

#include <functional>
#include <string>

class IcicleVisualization;
namespace orvex::gui {
class Label;
class TextObject;
class TextObjectFactory;
}

class DetailsBar final : public orvex::gui::EnvelopePrototype, public ChartObserver {
public:
    // Text objects `textHeight` pixels high from `factory`, drawn in `style`. `wantFrame` asks
    // the window for a frame (the line is rebuilt in it). Registers itself as `chart`'s observer.
    DetailsBar(orvex::gui::TextObjectFactory& factory, double textHeight, const orvex::gui::Renderer::StyleObject* style,
               IcicleVisualization& chart, DetailsText details, std::function<void()> wantFrame);
    ~DetailsBar() override;

    void chartNodesChanged() override;

    // The bar's full width, one line high.
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale, int final) override;
    // Rebuilds a stale line, then draws the label.
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;

    // A line (UTF-8) shown instead of the chart's: kept until it is set again or cleared (empty),
    // or with `untilChartChanges` until the hovered or selected node changes after it was first
    // drawn. What an action is doing or did: a refresh's progress, what went to the trash.
    void setNotice(std::string utf8, bool untilChartChanges);
    bool showsNotice() const { return !notice.empty(); }

    // Builds the line now when it is stale; returns whether the shown text changed.
    bool refresh();
    // The shown line in UTF-8 (for the frame log).
    const std::string& text() const { return shownUtf8; }
    const DetailsText& details() const { return detailsText; }

private:
    double measure(std::u32string_view text);
    // `text` cut at its end, with "…", to fit the bar.
    std::u32string fitted(std::u32string text);

    IcicleVisualization* chart;
    DetailsText detailsText;
    std::function<void()> wantFrame;
    orvex::gui::Label* label = nullptr;               // the content
    orvex::UniquePtr<orvex::gui::TextObject> measurer; // lays candidate lines out, never drawn
    double width = 0.0;                                // the room for the line, pixels
    double height = 0.0;                               // one line, pixels
    double scale = 0.0;
    bool stale = true;
    std::string shownUtf8;
    std::u32string notice;
    bool noticeTransient = false;
    bool noticeSeen = false; // a transient notice has been drawn: the nodes then were these
    const FilesystemNode* noticeHovered = nullptr;
    const FilesystemNode* noticeSelected = nullptr;
};
