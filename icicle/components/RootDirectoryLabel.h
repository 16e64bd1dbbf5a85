// RootDirectoryLabel: one chart label drawn across the component's whole area with the label
// program — the scanned directory's path and total size (the root row the chart never draws), or on
// the start screen the program's title. It draws the leading vertices of a mesh it does not own;
// the owner replaces the label when it replaces the mesh. Also the title mesh: one vertex whose
// only label is a given text. Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/MasterPtr.h"
#include "engine/gl/Mesh.h"
#include "gui/Component.h"
#include "icicle/GeometryVertex.h"
#include "icicle/IcicleMesh.h"
#include "icicle/IcicleRenderer.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex {
class GlContext;
}

// What a root label draws: the first `count` vertices of `mesh` (not owned), the chart spanning
// [0, totalSize] bytes.
struct RootLabelMesh {
    orvex::Mesh<GeometryVertex>* mesh = nullptr;
    int count = 0;
    double totalSize = 1.0;
    LabelPage page; // the chart's glyph page, when its characters come from one

    // The root vertices of a chart or preview mesh.
    static RootLabelMesh rootOf(const IcicleMesh<orvex::MasterPtr, int>& chart)
    {
        return { chart.mesh.get(), chart.baseCount, chart.totalSize, chart.labelPage() };
    }
    // A mesh made by createTitleMesh.
    static RootLabelMesh title(orvex::Mesh<GeometryVertex>* titleMesh) { return { titleMesh, 1, 1.0, {} }; }
};

// The title's vertex: a cell over [0, 1) at row 0.75 with hue 0, no size line, named `text` (up to
// 24 bytes shown whole); its label width is the name's width.
GeometryVertex titleVertex(std::string_view text);
// A static one-point mesh of titleVertex(text); null when GL cannot make it.
orvex::UniquePtr<orvex::Mesh<GeometryVertex>> createTitleMesh(orvex::GlContext& context, std::string_view text);

// The label of a folder the chart is focused on: its caption (the folder's path; the end of a
// long one) split over as many vertices as it needs, with its size line, on a cell over [0, size] at row 0, as the chart's
// own root label is made. The mesh is null when GL cannot make it.
// `page` (the chart's, null for none) gives the caption's characters past ASCII the chart's codes.
struct CaptionMesh {
    orvex::UniquePtr<orvex::Mesh<GeometryVertex>> mesh;
    int count = 0;
    double totalSize = 1.0;
    LabelPage page;

    RootLabelMesh label() const { return { mesh.get(), count, totalSize, page }; }
};
std::vector<GeometryVertex> captionVertices(std::string_view caption, uint64_t size,
                                            const LabelText::GlyphPageCodes& codes = LabelText::GlyphPageCodes::none());
CaptionMesh createCaptionMesh(orvex::GlContext& context, std::string_view caption, uint64_t size,
                              const IcicleMesh<orvex::MasterPtr, int>* chart = nullptr);

class RootDirectoryLabel : public orvex::gui::Component {
public:
    RootDirectoryLabel(const IcicleResources& resources, const RootLabelMesh& mesh);
    ~RootDirectoryLabel() override;

    using orvex::gui::Component::layout;
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale,
                               int final) override;
    // The label pass alone, row 0 filling the component's height; nothing without a mesh or a context.
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;

private:
    IcicleRenderer renderer;
    orvex::GlContext* context;
    RootLabelMesh mesh;
    orvex::gui::Vector2 size;
    double scale = 1.0;
};
