// PreviewBuilder: the live grey chart of a running scan. As the scanner's listener it records, on
// the worker, the cells worth showing (files and finished directories above 1/2048 of the running
// total, rows 1-8) into a fixed CPU buffer and keeps the chain of open directories; refresh()
// copies what is new into one GPU point mesh on the main thread. Relies on the ScanListener rules.
#pragma once

#include "engine/core/Atomic.h"
#include "engine/core/Mutex.h"
#include "engine/core/UniquePtr.h"
#include "engine/gl/Mesh.h"
#include "icicle/GeometryVertex.h"
#include "icicle/IcicleMesh.h" // the vertex format of GeometryVertex
#include "scan/ScanListener.h"

#include <cstdint>
#include <vector>

namespace orvex {
class GlContext;
}

class PreviewBuilder final : public ScanListener {
public:
    static constexpr int maxDepth = 8;             // the deepest row with cells of its own
    static constexpr int recordCapacity = 16384;   // file and directory records per scan
    static constexpr int maxRootLabelVertices = 16;
    static constexpr int meshCapacity = 16409;     // room for the largest root label, chain and records
    static constexpr int thresholdShift = 11;      // a cell needs more than 1/2048 of the running total

    // Where the vertices go. Mesh layout: [0, L) the root label, [L, L + 8) the chain of open
    // directories at depths 1-8, then the records in the order they were found.
    class MeshWriter {
    public:
        virtual ~MeshWriter() = default;
        // Writes `count` vertices at `first`, cut off at the capacity.
        virtual void write(int first, const GeometryVertex* vertices, int count) = 0;
        virtual void setVertexCount(int count) = 0;
        // The GPU mesh behind the writer; null when there is none (tests).
        virtual orvex::DynamicMesh<GeometryVertex>* mesh() = 0;
    };

    // What the preview component and the root label draw from.
    struct MeshHandle {
        orvex::DynamicMesh<GeometryVertex>* mesh = nullptr; // not owned
        int rootLabelCount = 0;                             // L: the chain starts here
        double totalSize = 1.0;                             // bytes found so far; 1.0 before the first refresh
    };

    explicit PreviewBuilder(orvex::UniquePtr<MeshWriter> writer);
    ~PreviewBuilder() override;
    PreviewBuilder(const PreviewBuilder&) = delete;
    PreviewBuilder& operator=(const PreviewBuilder&) = delete;

    // [Main thread] Copies what the scanner found since the last call into the mesh: the root's
    // running total, the chain and the new records. Call once per frame while a scan is shown.
    void refresh();
    // [Main thread]
    MeshHandle meshHandle() const;
    // [Main thread] The records copied into the mesh so far (from the mesh handle's rootLabelCount
    // + 8 on); they do not change once copied.
    const GeometryVertex* uploadedRecords(int& count) const
    {
        count = uploaded;
        return buffer.data();
    }
    // [Main thread] True from scanStarted until a refresh has copied the end of the walk (the
    // root left). A cancelled scan never ends here: its screen is replaced instead.
    bool growing() const { return !endCopied; }

    // ScanListener. scanStarted: main thread, inside FileSizeMapper::mapDirectory with the
    // scanner's mutex held (which orders it before the worker's next notification); it resets
    // the preview and uploads the root label. The other three: scanner worker, in walk order.
    void scanStarted(const char* rootName, size_t length) override;
    void directoryEntered(FilesystemNode* directory) override;
    void fileAdded(FilesystemNode* file) override;
    void directoryLeft(FilesystemNode* directory) override;

private:
    // What the chain vertex of an open directory needs, copied from its node on the worker so
    // that refresh() never reads a node: after a cancel the partial tree is freed without any
    // directoryLeft, and a pointer kept here would dangle.
    struct ChainEntry {
        bool open = false;
        uint64_t startOffset = 0; // the running total when the directory was entered
        float name[8] = {};
        double nameWidth = 0.0;
    };

    // Worker: completes buffer[written] and then publishes it.
    void record(const FilesystemNode* node, float row, uint64_t x0);

    // Worker state; scanStarted resets it while the worker is idle.
    int depth = -1;
    uint64_t total = 0; // saturating, like the scanner's own sums
    std::vector<GeometryVertex> buffer; // recordCapacity records, allocated once

    // Shared with the main thread.
    orvex::Mutex lock;                               // guards `chain`
    ChainEntry chain[maxDepth + 1];                  // [0] is the root
    orvex::Atomic<uint64_t> chainSize[maxDepth + 1]; // bytes found below each open directory
    orvex::Atomic<uint64_t> written { 0 };           // complete records in `buffer`
    orvex::Atomic<int32_t> rootLeft { 0 };           // 1 once the root's directoryLeft came

    // Main thread.
    orvex::UniquePtr<MeshWriter> writer;
    GeometryVertex rootTemplate {};
    int rootLabelCount = 1;
    int uploaded = 0;
    double previewTotal = 1.0;
    bool endCopied = true;
};

// [Main thread] A builder drawing into a dynamic point mesh of `context`; null when GL cannot
// create the vertex array or the buffer.
orvex::UniquePtr<PreviewBuilder> createPreviewBuilder(orvex::GlContext& context);

// [Main thread] A dynamic point mesh of `capacity` preview vertices; null when GL cannot make it.
orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> createPreviewMesh(orvex::GlContext& context, int capacity);
