// mesh-bench --compare-budget N DIR: scans DIR keeping every node and again with a node budget of
// N (folding what can never be drawn past it), builds both charts' vertex streams and prints
//   nodes_whole=A nodes_folded=B vertices=V blocks=K identical=yes|no
// exiting 1 when the streams differ in any byte.
// mesh-bench DIR | --warm DIR | --synthetic N: builds the chart's vertex stream for a scanned
// directory (or a deterministic in-memory tree of N nodes) through an uploader that discards it,
// with the application's minimum node size max(total >> 20, 1), and prints
//   scan_ms=S                        (with --warm: the scan, during which a GlyphWarmer draws the
//                                     names' glyphs past ASCII as the program's does; the build
//                                     follows at once, as the program's does)
//   nodes=N vertices=V ms=T          (T: the mesh build alone)
//   select_calls=10000 us_per_call=U ranges_per_call=R
//   peak_rss_kib=K
#include "engine/core/Clock.h"
#include "app/ScanFanOut.h"
#include "icicle/GlyphWarmer.h"
#include "icicle/IcicleOptimization.h"
#include "scan/ScanDirectory.h"

#include <chrono>
#include <memory>
#include <thread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>

namespace {

class DiscardingUploader final : public IcicleOptimization::VertexUploader {
public:
    void allocate(int64_t totalCount, int64_t) override { total = totalCount; }
    void upload(int64_t, const GeometryVertex* vertices, int64_t count, bool, int64_t) override
    {
        // Touch the data as a real upload would read it.
        for (int64_t i = 0; i < count; i += 64)
            checksum += vertices[i].x0;
    }
    int64_t total = 0;
    double checksum = 0;
};

// A random tree shaped like a real disk: directories of varied fan-out, log-normal file sizes.
orvex::UniquePtr<FilesystemNode> synthetic(int64_t nodeCount)
{
    std::mt19937_64 random(1);
    std::lognormal_distribution<double> fileSize(8.0, 2.5);
    auto node = [](FilesystemNode::Type type, const std::string& name, FilesystemNode* parent) {
        orvex::UniquePtr<FilesystemNode> n(new FilesystemNode);
        n->type = type;
        n->setName(name);
        n->parent = parent;
        return n;
    };
    orvex::UniquePtr<FilesystemNode> root = node(FilesystemNode::Type::DIRECTORY, "/synthetic", nullptr);
    std::vector<FilesystemNode*> directories { root.get() };
    for (int64_t made = 1; made < nodeCount; ++made) {
        // Prefer recent directories so the tree gets depth, like a depth-first listing.
        size_t pick = directories.size() - 1 - std::min<size_t>(directories.size() - 1, size_t(random() % 16 == 0 ? random() % directories.size() : random() % 4));
        FilesystemNode* parent = directories[pick];
        bool directory = random() % 8 == 0;
        std::string name = (directory ? "dir " : "file ") + std::to_string(made) + (directory ? "" : ".dat");
        auto child = node(directory ? FilesystemNode::Type::DIRECTORY : FilesystemNode::Type::FILE, name, parent);
        if (directory)
            directories.push_back(child.get());
        else
            child->size = uint64_t(std::min(fileSize(random), 1e12));
        parent->appendChild(std::move(child));
    }
    // Directory sizes are the sums below them; children always come after their parents here.
    for (auto it = directories.rbegin(); it != directories.rend(); ++it) {
        FilesystemNode* d = *it;
        for (int64_t i = 0; i < d->children.count; ++i)
            if (d->children[i]->type == FilesystemNode::Type::FILE)
                d->size += d->children[i]->size;
        if (d->parent)
            d->parent->size += d->size;
    }
    return root;
}

class RecordingUploader final : public IcicleOptimization::VertexUploader {
public:
    void allocate(int64_t totalCount, int64_t) override { cells.assign(size_t(totalCount), GeometryVertex {}); }
    void upload(int64_t first, const GeometryVertex* vertices, int64_t count, bool, int64_t) override
    {
        std::copy(vertices, vertices + count, cells.begin() + first);
    }
    void allocateBlocks(int64_t count) override { blocks.assign(size_t(count), GeometryVertex {}); }
    void uploadBlocks(int64_t first, const GeometryVertex* vertices, int64_t count) override
    {
        std::copy(vertices, vertices + count, blocks.begin() + first);
    }
    std::vector<GeometryVertex> cells, blocks;
};

int64_t countNodes(const FilesystemNode* root);

bool sameBytes(const std::vector<GeometryVertex>& a, const std::vector<GeometryVertex>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(GeometryVertex)) == 0);
}

int compareBudget(uint64_t budget, const std::string& path)
{
    RecordingUploader streams[2];
    int64_t nodes[2] = { 0, 0 };
    for (int folded = 0; folded < 2; ++folded) {
        orvex::UniquePtr<FilesystemNode> root =
            scanDirectory(path, nullptr, nullptr, nullptr, folded ? budget : TreeFolding::never);
        if (!root) {
            std::fprintf(stderr, "mesh-bench: %s is neither a file nor a directory\n", path.c_str());
            return 1;
        }
        nodes[folded] = countNodes(root.get());
        const uint64_t minimumSize = std::max<uint64_t>(root->size >> 20, 1);
        IcicleNodeLookup lookup;
        IcicleOptimization::build(lookup, std::move(root), minimumSize, streams[folded]);
    }
    const bool identical = sameBytes(streams[0].cells, streams[1].cells) && sameBytes(streams[0].blocks, streams[1].blocks);
    std::printf("nodes_whole=%lld nodes_folded=%lld vertices=%zu blocks=%zu identical=%s\n", (long long)nodes[0],
                (long long)nodes[1], streams[0].cells.size(), streams[0].blocks.size(), identical ? "yes" : "no");
    return identical ? 0 : 1;
}

int64_t countNodes(const FilesystemNode* root)
{
    int64_t count = 0;
    std::vector<const FilesystemNode*> stack { root };
    while (!stack.empty()) {
        const FilesystemNode* n = stack.back();
        stack.pop_back();
        count += 1;
        for (int64_t i = 0; i < n->children.count; ++i)
            stack.push_back(n->children[i]);
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    orvex::UniquePtr<FilesystemNode> root;
    std::unique_ptr<GlyphWarmer> warmer; // lives on past the scan, as in the program
    if (argc == 4 && std::strcmp(argv[1], "--compare-budget") == 0)
        return compareBudget(std::strtoull(argv[2], nullptr, 10), argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "--warm") == 0) {
        warmer = std::make_unique<GlyphWarmer>();
        ScanFanOut listener(nullptr, *warmer);
        FileSizeMapper mapper;
        mapper.setListener(&listener);
        const orvex::TimePoint scanStart = orvex::TimePoint::now();
        mapper.mapDirectory(argv[2]);
        while (mapper.currentState() == SCANNING)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        root = mapper.takeResult();
        std::printf("scan_ms=%.1f\n", orvex::seconds(orvex::TimePoint::now() - scanStart) * 1000.0);
        if (!root) {
            std::fprintf(stderr, "mesh-bench: %s is neither a file nor a directory\n", argv[2]);
            return 1;
        }
    } else if (argc == 3 && std::strcmp(argv[1], "--synthetic") == 0) {
        root = synthetic(std::max(1LL, std::atoll(argv[2])));
    } else if (argc == 2 && argv[1][0] != '-') {
        root = scanDirectory(argv[1]);
        if (!root) {
            std::fprintf(stderr, "mesh-bench: %s is neither a file nor a directory\n", argv[1]);
            return 1;
        }
    } else {
        std::fprintf(stderr, "usage: mesh-bench DIR | mesh-bench --warm DIR | mesh-bench --synthetic N | mesh-bench --compare-budget N DIR\n");
        return 2;
    }
    int64_t nodes = countNodes(root.get());
    uint64_t minimumSize = std::max<uint64_t>(root->size >> 20, 1);

    IcicleNodeLookup lookup;
    DiscardingUploader uploader;
    orvex::TimePoint started = orvex::TimePoint::now();
    IcicleOptimization::Result mesh = IcicleOptimization::build(lookup, std::move(root), minimumSize, uploader);
    double buildMs = orvex::seconds(orvex::TimePoint::now() - started) * 1000.0;
    std::printf("nodes=%lld vertices=%lld ms=%.1f\n", (long long)nodes, (long long)uploader.total, buildMs);

    // Random views from the whole tree down to a millionth of it, at a 1280-pixel-wide chart.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int calls = 10000;
    size_t ranges = 0;
    started = orvex::TimePoint::now();
    for (int i = 0; i < calls; ++i) {
        double width = mesh.totalSize * std::pow(10.0, -6.0 * unit(random));
        double start = (mesh.totalSize - width) * unit(random);
        double cullWidth = 2.0 * (width / 1280.0) / mesh.totalSize;
        RangeList list = selectRanges(*mesh.levelIndex, std::nextafter(float(start), 0.0f),
                                      std::nextafter(float(start + width), 3.4e38f), cullWidth, false);
        ranges += list.size();
    }
    double selectUs = orvex::seconds(orvex::TimePoint::now() - started) * 1e6 / calls;
    std::printf("select_calls=%d us_per_call=%.2f ranges_per_call=%.1f\n", calls, selectUs, double(ranges) / calls);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_kib=%ld\n", usage.ru_maxrss);
    return uploader.checksum < 0 ? 1 : 0;
}
