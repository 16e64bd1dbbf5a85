// IcicleRenderer: draws icicle meshes with the rectangle and label programs. Each component that
// draws a chart (the chart itself, the root label, the scan preview) holds one, made from the
// context's IcicleResources. Per frame it computes the camera transform in double precision,
// picks the visible vertex ranges and runs the label pass, then the rectangle pass. Main thread.
#pragma once

#include <cmath>

#include "engine/core/Math.h"
#include "engine/gl/MasterPtr.h"
#include "icicle/IcicleMesh.h"
#include "icicle/IcicleResources.h"

// Label vertices kept apart from the mesh they came from: [0, count) of `mesh`.
struct PackedLabels {
    orvex::Mesh<GeometryVertex>* mesh = nullptr;
    int count = 0;
};

class IcicleRenderer {
public:
    explicit IcicleRenderer(const IcicleResources& resources);

    // The renderer's component-to-clip matrix: component units (x right, y down, origin at the
    // component's top-left) to clip space. The GUI renderer supplies it; forViewport() maps a
    // component that fills a viewport of `width` x `height` units.
    void setComponentToClip(const orvex::Matrix<double, 4, 4>& matrix) { componentToClip = matrix; }
    static orvex::Matrix<double, 4, 4> forViewport(double width, double height);

    // The camera of one frame: clip = transform × (x + xOffset, row, 1). It is computed in double
    // precision and the large x translation is split off into xOffset, which the shaders add while
    // x is still in bytes, so that far-out cells of big trees keep their precision in floats.
    struct Camera {
        orvex::Matrix<float, 3, 2> transform;
        float xOffset = 0.0f;
    };
    Camera camera(orvex::Vector<double, 2> componentSize, orvex::Vector<double, 2> visibleRange, double rowScale,
                  double firstRow) const;

    // Draws `mesh` (its level index picks the ranges; without one, [base count, vertex count)).
    // componentSize: the component's width and height; visibleRange: visible x interval in bytes;
    // rowScale: row height as a fraction of the component height; firstRow: the row at the top
    // edge; viewportSize: the drawing viewport in pixels; uiScale: the interface scale. Nothing is
    // drawn for an empty or reversed visible range.
    void drawMesh(const IcicleMesh<orvex::MasterPtr, int>& mesh, orvex::Vector<double, 2> componentSize,
                  orvex::Vector<double, 2> visibleRange, double rowScale, double firstRow,
                  orvex::Vector<float, 2> viewportSize, float uiScale);
    // The scan preview: both passes over [first, vertexCount) of `mesh` with the grey palette; the
    // label pass only over `labelRanges` when given (cells too narrow for a label left out), then
    // over `extraLabels` (so that scattered labelled cells cost one draw call, not one each).
    void drawPreviewMesh(orvex::DynamicMesh<GeometryVertex>& mesh, int first, orvex::Vector<double, 2> componentSize,
                         orvex::Vector<double, 2> visibleRange, double rowScale, double firstRow,
                         orvex::Vector<float, 2> viewportSize, float uiScale, const RangeList* labelRanges = nullptr,
                         PackedLabels extraLabels = {});
    // The finest detail level drawMesh draws for a view `span` bytes wide on a component
    // `componentWidth` wide (small-item blocks and their look-up depend on it).
    int detailLevel(double span, double componentWidth, double totalSize, float uiScale) const;
    // The gap between cells in pixels at a UI scale; the label pass draws nothing in a cell whose
    // width does not exceed it.
    float cellGapPixels(float uiScale) const { return std::round(uiScale * cellGapX); }
    // The root label: the label pass alone over [0, count) with visible range [0, totalSize],
    // row scale 1 and first row 0. Takes any mesh: the start screen's title is a static one.
    void drawLabelOnly(orvex::Mesh<GeometryVertex>& mesh, int count, double totalSize,
                       orvex::Vector<double, 2> componentSize, orvex::Vector<float, 2> viewportSize, float uiScale,
                       const LabelPage& page = {});

    // Vertices submitted by the last draw call, summed over its passes (for benchmarks and tests).
    int64_t lastSubmittedVertices() const { return submitted; }

    float cellGapX = 2.0f;           // pixels at UI scale 1
    float cellGapY = 2.0f;
    float narrowCellThreshold = 32.0f;
    float labelFadeLength = 6.0f;
    float labelSupersampleThreshold = 16.0f;
    // False skips the label pass of drawMesh and drawPreviewMesh (the frame benchmark times the
    // cells alone with it); the program never clears it.
    bool labelPass = true;

private:
    // The small-item blocks a frame draws after the cells' rectangles, and its finest level.
    struct BlockPass {
        orvex::Mesh<GeometryVertex>* mesh = nullptr;
        RangeList ranges;
        int detailLevel = IcicleLevelIndex::levelCount - 1;
    };
    // The label pass (when `labels`), then (with a palette) the rectangle pass, over `ranges`.
    void drawPasses(orvex::Mesh<GeometryVertex>& mesh, const RangeList& ranges, const Camera& view, bool labels,
                    orvex::Texture1D* palette, orvex::Vector<float, 2> viewportSize, float uiScale,
                    const RangeList* labelRanges = nullptr, PackedLabels extraLabels = {},
                    const BlockPass* blocks = nullptr, const LabelPage& page = {});

    IcicleResources resources;
    orvex::Matrix<double, 4, 4> componentToClip;
    int64_t submitted = 0;
};
