// RootDirectoryLabel: draws through ChartViewport like the chart, so the label is fitted to the
// component's own pixels wherever the component sits.
#include "icicle/components/RootDirectoryLabel.h"

#include "icicle/LabelText.h"
#include "icicle/components/ChartViewport.h"

namespace {

constexpr int POINTS = 1;
// Row 0.75 makes the cell reach 1.75 rows down, which moves the label's centre line below the
// middle: a name without a size line sits above its centre line, so this lowers the lone title.
constexpr float TITLE_ROW = 0.75f;
// The most characters a caption keeps: a deeper path shows its end ("…/d/d/d"), so that the
// label, scaled to fit its width, keeps the size a usual path has.
constexpr size_t CAPTION_CHARACTERS = 32;

} // namespace

GeometryVertex titleVertex(std::string_view text)
{
    GeometryVertex vertex { 0.0f, TITLE_ROW, 1.0f, 0.0f, 0.0f, 0.0f, {} };
    const double nameWidth = LabelText::packName(text, vertex.name);
    vertex.inverseLabelWidth = LabelText::inverseLabelWidth(0.0, nameWidth);
    return vertex;
}

orvex::UniquePtr<orvex::Mesh<GeometryVertex>> createTitleMesh(orvex::GlContext& context, std::string_view text)
{
    return orvex::createMesh<GeometryVertex>(context, POINTS, { titleVertex(text) });
}

std::vector<GeometryVertex> captionVertices(std::string_view caption, uint64_t size, const LabelText::GlyphPageCodes& codes)
{
    GeometryVertex cell { 0.0f, 0.0f, float(size > 0 ? size : 1), 0.0f, 0.0f, 0.0f, {} };
    std::vector<GeometryVertex> vertices;
    LabelText::labelVertices(cell, LabelText::pathTail(caption, CAPTION_CHARACTERS), size, true, vertices, codes);
    return vertices;
}

CaptionMesh createCaptionMesh(orvex::GlContext& context, std::string_view caption, uint64_t size,
                              const IcicleMesh<orvex::MasterPtr, int>* chart)
{
    const std::vector<GeometryVertex> vertices
        = captionVertices(caption, size, chart ? chart->codes() : LabelText::GlyphPageCodes::none());
    CaptionMesh made;
    if (chart)
        made.page = chart->labelPage();
    made.mesh = orvex::createMesh<GeometryVertex>(context, POINTS, vertices);
    made.count = made.mesh ? int(vertices.size()) : 0;
    made.totalSize = size > 0 ? double(size) : 1.0;
    return made;
}

RootDirectoryLabel::RootDirectoryLabel(const IcicleResources& resources, const RootLabelMesh& mesh)
    : renderer(resources)
    , context(resources.context)
    , mesh(mesh)
{
}

RootDirectoryLabel::~RootDirectoryLabel() = default;

orvex::gui::Vector2 RootDirectoryLabel::layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2, double layoutScale, int)
{
    size = minimum;
    scale = layoutScale;
    return minimum;
}

orvex::gui::Response RootDirectoryLabel::draw(orvex::gui::Renderer& target)
{
    if (!context || !mesh.mesh || mesh.count <= 0 || !(size.x > 0.0) || !(size.y > 0.0))
        return orvex::gui::HANDLED;
    ChartViewport viewport(target, *context, size);
    if (!viewport.placement().empty()) {
        renderer.setComponentToClip(viewport.placement().componentToClip);
        renderer.drawLabelOnly(*mesh.mesh, mesh.count, mesh.totalSize, { { size.x, size.y } },
                               viewport.placement().pixelSize(), float(scale), mesh.page);
    }
    return orvex::gui::HANDLED;
}
