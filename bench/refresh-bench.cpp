// refresh-bench DIR [FILES] [RUNS]: what refreshing one folder of a large scanned tree costs, against
// scanning that folder alone plus rebuilding the whole chart, and the rebuild against the full scan.
// Scans DIR, picks the folder whose file count below is nearest FILES (default 10,000), then RUNS
// times (default 5), in one process and alternating:
//   full scan      a scan of DIR (the first run's tree is the one refreshed)
//   folder scan    a scan of the folder alone
//   chart build    the counts pass and the mesh build of the whole tree (vertices discarded, as
//                  mesh-bench does: the GL upload is left out of every figure)
//   refresh        a scan of the folder, its contents put in place (TreeEdit), the counts and the
//                  mesh and lookup built again
//   rebuild        the refresh without its scan: edit, counts, lookup and mesh
// and prints the medians and the two ratios the goals are set on:
//   refresh_ratio = refresh / (folder scan + chart build)      goal <= 1.2
//   rebuild_share = rebuild / full scan                         goal <= 0.05
#include "engine/core/Clock.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/IcicleOptimization.h"
#include "scan/FileSizeMapper.h"
#include "scan/TreeCounts.h"
#include "scan/TreeEdit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using orvex::UniquePtr;

namespace {

class DiscardingUploader final : public IcicleOptimization::VertexUploader {
public:
    void allocate(int64_t, int64_t) override {}
    void upload(int64_t, const GeometryVertex* vertices, int64_t count, bool, int64_t) override
    {
        for (int64_t i = 0; i < count; i += 64)
            checksum += vertices[i].x0;
    }
    double checksum = 0;
};

const orvex::TimePoint started = orvex::TimePoint::now();
double now() { return orvex::seconds(orvex::TimePoint::now() - started); }

UniquePtr<FilesystemNode> scan(FileSizeMapper& mapper, const std::string& path)
{
    mapper.mapDirectory(path);
    while (mapper.currentState() == SCANNING)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    return mapper.takeResult();
}

// The folder whose files below come nearest `wanted`, not the root.
const FilesystemNode* pickFolder(const FilesystemNode* root, const TreeCounts& counts, uint64_t wanted)
{
    const FilesystemNode* best = nullptr;
    uint64_t bestDistance = UINT64_MAX;
    std::vector<const FilesystemNode*> open { root };
    while (!open.empty()) {
        const FilesystemNode* node = open.back();
        open.pop_back();
        if (node->type != FilesystemNode::Type::DIRECTORY)
            continue;
        const uint64_t files = counts.below(node).files;
        const uint64_t distance = files > wanted ? files - wanted : wanted - files;
        if (node != root && distance < bestDistance) {
            best = node;
            bestDistance = distance;
        }
        for (int64_t i = 0; i < node->children.count; ++i)
            open.push_back(node->children[i]);
    }
    return best;
}

// The counts pass and the mesh build of the tree, which `lookup` then holds.
void buildChart(IcicleNodeLookup& lookup, UniquePtr<FilesystemNode> tree, DiscardingUploader& uploader)
{
    TreeCounts counts(tree.get());
    const uint64_t minimum = std::max<uint64_t>(tree->size >> 20, 1);
    IcicleOptimization::build(lookup, std::move(tree), minimum, uploader);
    if (counts.folderCount() == 0)
        std::abort();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: refresh-bench DIR [FILES] [RUNS]\n");
        return 2;
    }
    const std::string root = argv[1];
    const uint64_t wanted = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    FileSizeMapper mapper;
    DiscardingUploader uploader;
    IcicleNodeLookup lookup;
    std::vector<double> full, folderScan, chartBuild, refresh, rebuild;
    std::string folderPath;
    uint64_t folderFiles = 0;
    for (int run = 0; run < runs; ++run) {
        double t = now();
        UniquePtr<FilesystemNode> tree = scan(mapper, root);
        full.push_back(now() - t);
        if (!tree) {
            std::fprintf(stderr, "refresh-bench: %s cannot be scanned\n", root.c_str());
            return 1;
        }
        if (folderPath.empty()) {
            const TreeCounts counts(tree.get());
            const FilesystemNode* folder = pickFolder(tree.get(), counts, wanted);
            if (!folder) {
                std::fprintf(stderr, "refresh-bench: %s has no folder below it\n", root.c_str());
                return 1;
            }
            folderPath = nodePath(folder);
            folderFiles = counts.below(folder).files;
        }
        t = now();
        UniquePtr<FilesystemNode> alone = scan(mapper, folderPath);
        folderScan.push_back(now() - t);
        alone = nullptr;

        t = now();
        buildChart(lookup, std::move(tree), uploader);
        chartBuild.push_back(now() - t);

        // The refresh, as the program makes it: the chart's tree taken back, the folder found by path.
        t = now();
        UniquePtr<FilesystemNode> fresh = scan(mapper, folderPath);
        const double scanned = now();
        UniquePtr<FilesystemNode> edited = lookup.takeTree();
        FilesystemNode* folder = edited.get();
        for (size_t at = edited->name.length; folder && at < folderPath.size();) {
            const size_t begin = folderPath[at] == '/' ? at + 1 : at;
            const size_t end = std::min(folderPath.find('/', begin), folderPath.size());
            const std::string_view name(folderPath.data() + begin, end - begin);
            FilesystemNode* next = nullptr;
            for (int64_t i = 0; i < folder->children.count && !next; ++i)
                if (folder->children[i]->name.view() == name)
                    next = folder->children[i];
            folder = next;
            at = end;
        }
        if (!folder || !fresh)
            return 1;
        UniquePtr<FilesystemNode> old = TreeEdit::replaceContents(folder, std::move(fresh));
        old = nullptr;
        buildChart(lookup, std::move(edited), uploader);
        const double done = now();
        refresh.push_back(done - t);
        rebuild.push_back(done - scanned);
        lookup.takeTree() = nullptr;
    }
    const double refreshRatio = median(refresh) / (median(folderScan) + median(chartBuild));
    const double rebuildShare = median(rebuild) / median(full);
    std::printf("folder=%s files=%llu runs=%d\n", folderPath.c_str(), (unsigned long long)folderFiles, runs);
    std::printf("full_scan_ms=%.1f folder_scan_ms=%.1f chart_build_ms=%.1f refresh_ms=%.1f rebuild_ms=%.1f\n",
                median(full) * 1e3, median(folderScan) * 1e3, median(chartBuild) * 1e3, median(refresh) * 1e3,
                median(rebuild) * 1e3);
    std::printf("refresh_ratio=%.3f rebuild_share=%.4f\n", refreshRatio, rebuildShare);
    return uploader.checksum < 0 ? 1 : 0;
}
