// DetailsBar: which node the line is about, and keeping the label's text and the measurer's
// layout in step with the bar's width and scale.
#include "icicle/components/DetailsBar.h"

#include <limits>

#include "gui/Label.h"
#include "gui/TextObject.h"
#include "gui/TextObjectFactory.h"
#include "icicle/components/IcicleVisualization.h"

#include <algorithm>

using namespace orvex::gui;

namespace {

// Pixels kept free at the right, so rounding between the measurer and the label never wraps a
// fitted line onto a second one.
constexpr double FIT_MARGIN = 2.0;
// Pixels at scale 1 that the narrowest character of the bar's font takes at least.
constexpr double MIN_ADVANCE = 2.0;

} // namespace

DetailsBar::DetailsBar(TextObjectFactory& factory, double textHeight, const Renderer::StyleObject* style,
                       IcicleVisualization& chart, DetailsText details, std::function<void()> wantFrame)
    : chart(&chart), detailsText(std::move(details)), wantFrame(std::move(wantFrame)),
      measurer(factory.create(textHeight, false))
{
    auto text = orvex::makeUnique<Label>(orvex::UniquePtr<TextObject>(factory.create(textHeight, false)), style, Label::Alignment { 0, 1 });
    label = text.get();
    content = std::move(text);
    chart.setObserver(this);
}

DetailsBar::~DetailsBar() = default;

void DetailsBar::chartNodesChanged()
{
    if (!notice.empty() && noticeTransient && noticeSeen
        && (chart->hoveredNode() != noticeHovered || chart->selectedNode() != noticeSelected))
        notice.clear();
    if (stale)
        return;
    stale = true;
    if (wantFrame)
        wantFrame();
}

Vector2 DetailsBar::layout(Vector2 minimum, Vector2 maximum, double layoutScale, int final)
{
    if (maximum.x != width || layoutScale != scale) {
        width = maximum.x;
        scale = layoutScale;
        stale = true;
    }
    double lineHeight = 0.0;
    if (measurer) {
        measurer->setScale(scale);
        measurer->setText(U"Ag");
        lineHeight = measurer->bounds().height();
    }
    height = std::clamp(lineHeight, minimum.y, std::max(minimum.y, maximum.y));
    label->layout({ width, height }, { width, height }, scale, final);
    return { width, height };
}

Response DetailsBar::draw(Renderer& renderer)
{
    refresh();
    return EnvelopePrototype::draw(renderer);
}

void DetailsBar::setNotice(std::string utf8, bool untilChartChanges)
{
    notice = fromUtf8(utf8);
    noticeTransient = untilChartChanges;
    noticeSeen = false;
    stale = true;
    if (wantFrame)
        wantFrame();
}

std::u32string DetailsBar::fitted(std::u32string text)
{
    if (!measurer || width <= 0.0 || measure(text) <= width - FIT_MARGIN)
        return text;
    size_t low = 0, high = text.size();
    while (low < high) { // the longest start that fits with the ellipsis
        const size_t middle = (low + high + 1) / 2;
        if (measure(text.substr(0, middle) + U"\u2026") <= width - FIT_MARGIN)
            low = middle;
        else
            high = middle - 1;
    }
    return text.substr(0, low) + U"\u2026";
}

double DetailsBar::measure(std::u32string_view text)
{
    // A candidate far wider than the bar (a path thousands of levels deep) is not laid out: no
    // printing character of the bar's font is narrower than this.
    const double narrowest = MIN_ADVANCE * std::max(scale, 0.25);
    if (width > 0.0 && double(text.size()) * narrowest > 4.0 * width)
        return double(text.size()) * narrowest;
    measurer->setText(text);
    return measurer->bounds().width();
}

bool DetailsBar::refresh()
{
    if (!stale)
        return false;
    stale = false;
    const FilesystemNode* node = chart->hoveredNode();
    if (!node)
        node = chart->selectedNode();
    const bool focus = !node;
    if (focus)
        node = chart->focusedNode();
    std::u32string line;
    const auto measured = [this](std::u32string_view text) { return measurer ? measure(text) : 0.0; };
    const double room = measurer && width > 0.0 ? width - FIT_MARGIN : std::numeric_limits<double>::infinity();
    if (!notice.empty()) {
        if (noticeTransient && !noticeSeen) {
            noticeSeen = true;
            noticeHovered = chart->hoveredNode();
            noticeSelected = chart->selectedNode();
        }
        line = fitted(notice);
    } else if (const SmallItemBlock* block = chart->hoveredBlock())
        line = detailsText.describeBlock(*block, room, measured);
    else if (measurer && width > 0.0)
        line = detailsText.describe(node, focus, room, measured);
    else
        line = detailsText.describe(node, focus);
    if (line == label->text)
        return false;
    label->setText(std::move(line));
    // The label centres its text by the text's own bounds: lay it out again for the new text.
    label->layout({ width, height }, { width, height }, scale, 1);
    shownUtf8 = toUtf8(label->text);
    return true;
}
