// PreviewBuilder: the worker's hooks do a constant amount of work (one record at most, nine
// counter updates at most) and take the lock only to open or close a chain entry. A record is
// complete before the increment of `written` publishes it, so refresh() copies only whole records.
#include "icicle/preview/PreviewBuilder.h"

#include "engine/gl/GlContext.h"
#include "icicle/LabelText.h"
#include "scan/FilesystemNode.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <string_view>

using orvex::MutexLock;

namespace {

constexpr int POINTS = 1;
constexpr int DYNAMIC_DRAW = 1;

// The fill rule shared by records and chain vertices: a grey cell from x0 to x0 + size (no
// minimum width), hue 0, the size line and the (already packed) name line.
GeometryVertex previewVertex(const float name[8], double nameWidth, uint64_t size, float row, uint64_t x0)
{
    const LabelText::PackedSize packed = LabelText::packSize(size);
    GeometryVertex vertex { float(x0), row, float(double(x0) + double(size)), 0.0f,
                            LabelText::inverseLabelWidth(packed.width, nameWidth), packed.code, {} };
    std::copy(name, name + 8, vertex.name);
    return vertex;
}

class GlMeshWriter final : public PreviewBuilder::MeshWriter {
public:
    explicit GlMeshWriter(orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> mesh) : target(std::move(mesh)) {}

    void write(int first, const GeometryVertex* vertices, int count) override { target->write(first, vertices, count); }
    void setVertexCount(int count) override { target->vertexCount = std::min(count, target->vertexCapacity); }
    orvex::DynamicMesh<GeometryVertex>* mesh() override { return target.get(); }

private:
    orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> target;
};

} // namespace

PreviewBuilder::PreviewBuilder(orvex::UniquePtr<MeshWriter> meshWriter)
    : buffer(recordCapacity), writer(std::move(meshWriter))
{
    assert(writer && "PreviewBuilder: pass a MeshWriter (createPreviewBuilder makes the GL one)");
}

PreviewBuilder::~PreviewBuilder() = default;

// [SECTION] Main thread

void PreviewBuilder::scanStarted(const char* rootName, size_t length)
{
    depth = -1;
    total = 0;
    written.store(0);
    rootLeft.store(0);
    uploaded = 0;
    endCopied = false;
    {
        MutexLock held(lock);
        for (int i = 0; i <= maxDepth; ++i) {
            chain[i] = ChainEntry {};
            chainSize[i].store(0);
        }
    }

    // The root's label as the chart builds it (split over several vertices when long), reaching
    // right without end; its size line is filled in by refresh().
    std::vector<GeometryVertex> label;
    if (length == 0) {
        label.push_back(GeometryVertex {});
    } else {
        const GeometryVertex cell { 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, {} };
        LabelText::labelVertices(cell, std::string_view(rootName, length), 0, true, label);
        for (GeometryVertex& vertex : label) {
            vertex.x1 = std::numeric_limits<float>::max();
            vertex.sizeCode = 0.0f;
        }
    }
    rootTemplate = label.back();
    // A name needing more than 16 vertices keeps its first 15 parts and its last one, which
    // carries the size line.
    rootLabelCount = std::min(int(label.size()), maxRootLabelVertices);
    label[size_t(rootLabelCount) - 1] = rootTemplate;
    writer->write(0, label.data(), rootLabelCount);

    const GeometryVertex emptyChain[maxDepth] = {};
    writer->write(rootLabelCount, emptyChain, maxDepth);
    writer->setVertexCount(rootLabelCount + maxDepth);
    previewTotal = 1.0;
}

void PreviewBuilder::refresh()
{
    ChainEntry entries[maxDepth + 1];
    uint64_t sizes[maxDepth + 1];
    uint64_t complete = 0;
    bool ended = false;
    {
        MutexLock held(lock);
        // The end first: every record was published before the root was left.
        ended = rootLeft.load() != 0;
        complete = written.load();
        for (int i = 0; i <= maxDepth; ++i) {
            entries[i] = chain[i];
            sizes[i] = chainSize[i].load();
        }
    }

    GeometryVertex run[1 + maxDepth] = {};
    run[0] = rootTemplate;
    const LabelText::PackedSize rootSize = LabelText::packSize(sizes[0]);
    run[0].sizeCode = rootSize.code;
    run[0].inverseLabelWidth = std::min(rootTemplate.inverseLabelWidth, float(1.0 / (rootSize.width + 0.5)));
    for (int k = 1; k <= maxDepth; ++k) {
        if (entries[k].open && sizes[k] != 0)
            run[k] = previewVertex(entries[k].name, entries[k].nameWidth, sizes[k], float(k), entries[k].startOffset);
    }
    writer->write(rootLabelCount - 1, run, 1 + maxDepth);

    const int count = int(complete);
    if (uploaded < count) {
        writer->write(rootLabelCount + maxDepth + uploaded, buffer.data() + uploaded, count - uploaded);
        writer->setVertexCount(rootLabelCount + maxDepth + count);
        uploaded = count;
    }
    previewTotal = double(sizes[0]);
    endCopied = ended;
}

PreviewBuilder::MeshHandle PreviewBuilder::meshHandle() const
{
    return MeshHandle { writer->mesh(), rootLabelCount, previewTotal };
}

// [SECTION] Scanner worker

void PreviewBuilder::directoryEntered(FilesystemNode* directory)
{
    depth += 1;
    if (depth > maxDepth)
        return;
    // Packed outside the lock: the main thread waits only for the copy.
    ChainEntry entry;
    entry.open = true;
    entry.startOffset = total;
    entry.nameWidth = LabelText::packName(directory->name.view(), entry.name);
    MutexLock held(lock);
    chain[depth] = entry; // its size is 0 already: directoryLeft or scanStarted cleared it
}

void PreviewBuilder::fileAdded(FilesystemNode* file)
{
    const uint64_t size = file->size;
    if (depth >= 0 && depth + 1 <= maxDepth && size > saturatingAdd(total, size) >> thresholdShift)
        record(file, float(depth + 1) + fileRowOffset, total);
    total = saturatingAdd(total, size);
    // The only writer of the counters, so a load and a store add without losing anything, and
    // saturate like the scanner's sums (a file of unknown size counts as 2^64 - 1 bytes).
    for (int i = 0; i <= std::min(depth, maxDepth); ++i)
        chainSize[i].store(saturatingAdd(chainSize[i].load(), size));
}

void PreviewBuilder::directoryLeft(FilesystemNode* directory)
{
    if (depth >= 1 && depth <= maxDepth) {
        // Its size is already in `total`, so a directory needs a little more than 1/2048.
        // startOffset is written only on this thread: no lock needed to read it here.
        if (directory->size > saturatingAdd(total, directory->size) >> thresholdShift)
            record(directory, float(depth), chain[depth].startOffset);
        MutexLock held(lock);
        chain[depth].open = false;
        chainSize[depth].store(0);
    }
    if (depth == 0)
        rootLeft.store(1);
    depth -= 1;
}

void PreviewBuilder::record(const FilesystemNode* node, float row, uint64_t x0)
{
    const uint64_t index = written.load();
    if (index >= uint64_t(recordCapacity))
        return; // full: the preview stops growing, the totals go on
    float name[8];
    const double nameWidth = LabelText::packName(node->name.view(), name);
    buffer[index] = previewVertex(name, nameWidth, node->size, row, x0);
    written.increment();
}

orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> createPreviewMesh(orvex::GlContext& context, int capacity)
{
    return orvex::createDynamicMesh<GeometryVertex>(context, POINTS, capacity, DYNAMIC_DRAW);
}

orvex::UniquePtr<PreviewBuilder> createPreviewBuilder(orvex::GlContext& context)
{
    orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> mesh = createPreviewMesh(context, PreviewBuilder::meshCapacity);
    if (!mesh)
        return nullptr;
    return orvex::UniquePtr<PreviewBuilder>(
        new PreviewBuilder(orvex::UniquePtr<PreviewBuilder::MeshWriter>(new GlMeshWriter(std::move(mesh)))));
}
