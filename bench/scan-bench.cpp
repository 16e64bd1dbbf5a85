// scan-bench DIR [--repeat N] [--import] [--node-budget N|never]: maps DIR with FileSizeMapper exactly
// as the program does (its default node budget unless told another)
// (worker thread, a listener doing the preview's per-entry work, progress polled by the calling
// thread as the GUI polls it each frame); with --import, DIR may be a stored scan that is read as
// the program reads it. Prints one line per run:
//   files=F dirs=D nodes=N bytes=B ms=T counts_ms=C counts_share=S (N: the nodes kept, folded entries included)
// (C: the details bar's counts pass over the finished tree, S = C / T, which should stay below
// 0.02), then the peak resident memory of the process and per node of the largest tree.
#include "scan/FileSizeMapper.h"
#include "scan/ScanDirectory.h"
#include "scan/ScanListener.h"
#include "scan/TreeCounts.h"

#include "engine/core/Clock.h"
#if VELBRIN_SCAN_FILES
#include "scanfile/ScanFileImporter.h"
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace {

// Does what the live preview does per notification: depth bookkeeping, up to nine atomic adds
// per file, a lock per directory entered or left.
class PreviewLikeListener final : public ScanListener {
public:
    void scanStarted(const char*, size_t) override
    {
        depth = -1;
        total = 0;
    }
    void directoryEntered(FilesystemNode* directory) override
    {
        depth += 1;
        if (depth <= 8) {
            std::lock_guard<std::mutex> hold(lock);
            chain[depth] = directory;
        }
    }
    void fileAdded(FilesystemNode* file) override
    {
        total += file->size;
        for (int i = 0; i <= std::min(depth, 8); ++i)
            sizes[i].fetch_add(file->size);
    }
    void directoryLeft(FilesystemNode*) override
    {
        if (depth >= 1 && depth <= 8) {
            std::lock_guard<std::mutex> hold(lock);
            chain[depth] = nullptr;
        }
        depth -= 1;
    }

private:
    int depth = -1;
    uint64_t total = 0;
    std::mutex lock;
    FilesystemNode* chain[9] {};
    std::atomic<uint64_t> sizes[9] {};
};

uint64_t count(const FilesystemNode* node, uint64_t& files, uint64_t& directories)
{
    uint64_t nodes = 0;
    std::vector<const FilesystemNode*> stack { node };
    while (!stack.empty()) {
        const FilesystemNode* n = stack.back();
        stack.pop_back();
        nodes += 1;
        if (const FoldedEntry* folded = asFolded(n)) {
            files += folded->files;
            directories += folded->folders;
            continue;
        }
        if (n->type == FilesystemNode::Type::FILE) {
            files += 1;
            continue;
        }
        directories += 1;
        for (int64_t i = 0; i < n->children.count; ++i)
            stack.push_back(n->children[i]);
    }
    return nodes;
}

long peakResidentKiB()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters {};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return long(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: scan-bench DIR [--repeat N] [--import] [--node-budget N|never]\n");
        return 2;
    }
    std::string path = argv[1];
    int repeat = 1;
    bool import = false;
    uint64_t budget = TreeFolding::defaultBudget;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--node-budget") == 0 && i + 1 < argc) {
            ++i;
            budget = std::strcmp(argv[i], "never") == 0 ? TreeFolding::never : std::strtoull(argv[i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--import") == 0)
            import = true;
        else {
            std::fprintf(stderr, "scan-bench: unknown argument %s\n", argv[i]);
            return 2;
        }
    }

    // As velbrin-snapshot does: the system's reason for a DIR that cannot be scanned, not a guess.
    if (path.empty()) {
        std::fprintf(stderr, "scan-bench: DIR is empty: give a directory to scan\n");
        return 2;
    }
    // The path is UTF-8 on every system (u8 names it so where the narrow encoding is another).
    std::error_code failure;
    const std::filesystem::file_status info =
        std::filesystem::status(std::filesystem::path(std::u8string(path.begin(), path.end())), failure);
    if (failure) {
        std::fprintf(stderr, "scan-bench: %s: %s\n", path.c_str(), failure.message().c_str());
        return 1;
    }
    if (!std::filesystem::is_directory(info) && !std::filesystem::is_regular_file(info)) {
        std::fprintf(stderr, "scan-bench: %s is neither a file nor a directory\n", path.c_str());
        return 1;
    }

    PreviewLikeListener listener;
#if VELBRIN_SCAN_FILES
    ScanFileImporter importer;
#endif
    FileSizeMapper mapper;
    mapper.setListener(&listener);
    mapper.setNodeBudget(budget);
    if (import) {
#if VELBRIN_SCAN_FILES
        mapper.setImporter(&importer);
#else
        std::fprintf(stderr, "scan-bench: this build reads no stored scans\n");
        return 2;
#endif
    }
    uint64_t largestTree = 0;
    for (int run = 0; run < repeat; ++run) {
        orvex::TimePoint started = orvex::TimePoint::now();
        mapper.mapDirectory(path);
        std::string progressPath;
        uint64_t bytes = 0, rootNameLength = 0;
        while (mapper.getProgress(progressPath, bytes, rootNameLength) == SCANNING)
            std::this_thread::sleep_for(std::chrono::milliseconds(16)); // one frame
        orvex::UniquePtr<FilesystemNode> tree = mapper.takeResult();
        double ms = orvex::seconds(orvex::TimePoint::now() - started) * 1000.0;
        if (!tree && !mapper.problems().importFailure.empty()) {
            std::fprintf(stderr, "scan-bench: cannot read %s\n", mapper.problems().importFailure.c_str());
            return 1;
        }
        if (!tree) {
            std::fprintf(stderr, "scan-bench: %s is neither a file nor a directory\n", path.c_str());
            return 1;
        }
        const ScanProblems problems = mapper.problems();
        if (const std::string text = describeProblems(problems); !text.empty())
            std::fprintf(stderr, "scan-bench: %s\n", text.c_str());
        if (problems.rootUnlisted) {
            std::fprintf(stderr, "scan-bench: cannot read %s: %s\n", path.c_str(), std::strerror(problems.firstError));
            return 1;
        }
        // The pass the program makes when it shows the chart, timed on the same tree.
        const orvex::TimePoint countsStarted = orvex::TimePoint::now();
        const TreeCounts counts(tree.get());
        const double countsMs = orvex::seconds(orvex::TimePoint::now() - countsStarted) * 1000.0;
        uint64_t files = 0, directories = 0;
        const uint64_t nodes = count(tree.get(), files, directories);
        if (counts.below(tree.get()).files != files - (tree->type == FilesystemNode::Type::FILE ? 1 : 0)) {
            std::fprintf(stderr, "scan-bench: the counts pass disagrees with the plain count\n");
            return 1;
        }
        largestTree = std::max(largestTree, files + directories);
        std::printf("files=%llu dirs=%llu nodes=%llu bytes=%llu ms=%.0f counts_ms=%.2f counts_share=%.4f\n",
                    (unsigned long long)files, (unsigned long long)directories, (unsigned long long)nodes, (unsigned long long)tree->size, ms, countsMs, ms > 0 ? countsMs / ms : 0.0);
        std::fflush(stdout);
    }
    long peak = peakResidentKiB();
    std::printf("peak_rss_kib=%ld bytes_per_node=%.1f\n", peak, largestTree ? peak * 1024.0 / double(largestTree) : 0.0);
    return 0;
}
