// IcicleVisualizationPreview: the component that shows a running scan as a grey icicle chart,
// drawn from the PreviewBuilder's mesh with the chart's programs: rows 1-8 fill its rectangle,
// the whole width is the running total. It asks for the next frame while the preview grows.
// Main thread; draws only through a BasicGLRenderer.
#pragma once

#include "gui/Component.h"
#include "icicle/IcicleRenderer.h"

class PreviewBuilder;

class IcicleVisualizationPreview final : public orvex::gui::Component {
public:
    // `builder` is not owned and must outlive the component.
    IcicleVisualizationPreview(const IcicleResources& resources, PreviewBuilder* builder);
    ~IcicleVisualizationPreview() override;

    using Component::layout;
    // Takes the offered minimum as its size (the frame decides it) and remembers the UI scale.
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale,
                               int final) override;
    // HANDLED, with REDRAW while the builder's preview still grows.
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;

    // The vertex ranges worth a label pass: the chain [chainFirst, chainFirst + 8) and every
    // record (from chainFirst + 8 on) at least `minimumPixels` wide when [0, total] bytes span
    // `componentWidth` pixels. Most records of a large scan are far narrower than a pixel.
    static RangeList labelRanges(const GeometryVertex* records, int count, int chainFirst, double total,
                                 double componentWidth, double minimumPixels);

    static constexpr double rowScale = 0.125; // eight rows fill the height
    static constexpr double firstRow = 1.0;   // the root row is the root label's, above

private:
    IcicleRenderer icicleRenderer;
    PreviewBuilder* builder;
    orvex::gui::Vector2 size;
    double scale = 1.0;
};
