// IcicleVisualizationPreview: the component that shows a running scan as a grey icicle chart,
// drawn from the PreviewBuilder's mesh with the chart's programs: rows 1-8 fill its rectangle,
// the whole width is the running total. It asks for the next frame while the preview grows.
// Main thread; draws only through a BasicGLRenderer.
#pragma once

#include "gui/Component.h"
#include "engine/gl/Mesh.h"
#include "icicle/IcicleRenderer.h"

#include <vector>

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

    // The records worth a label pass, as indices into `records`: those at least `minimumPixels`
    // wide when [0, total] bytes span `componentWidth` pixels. Most records of a large scan are
    // far narrower than a pixel, and the wide ones lie scattered among them.
    static std::vector<int> labelledRecords(const GeometryVertex* records, int count, double total,
                                            double componentWidth, double minimumPixels);

    // Draws one labelled cell about a pixel wide at the clip-space origin with both passes, so
    // that a software GL driver compiles the programs for this state now and not in the first
    // frames of a scan. Draws into whatever is bound; the caller clears it afterwards.
    static void warmUp(const IcicleResources& resources);

    static constexpr double rowScale = 0.125; // eight rows fill the height
    static constexpr double firstRow = 1.0;   // the root row is the root label's, above

private:
    IcicleRenderer icicleRenderer;
    orvex::GlContext* context; // where the packed label mesh is made
    // Copies the records that currently get a label into labelMesh when that set changed.
    void updateLabelMesh(const GeometryVertex* records, int count, double total);

    PreviewBuilder* builder;
    orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> labelMesh; // the labelled records, packed
    std::vector<int> labelled;                                       // which ones labelMesh holds
    orvex::gui::Vector2 size;
    double scale = 1.0;
};
