// velbrin-snapshot DIR -o FILE.png [--size WxH] [--view START:END] [--rows N] [--sorted]: scans DIR (or reads
// the stored scan DIR names) as the application does and draws what its chart screen shows — the root label across the top band,
// the scroll bar's thumb and the chart on its background, with the cell gaps and labels — into an
// offscreen target, then writes it as a PNG. Needs an OpenGL 3.3 context with geometry shaders,
// made with a hidden window (a display or Xvfb). Exit status 0 written, 1 failure, 2 bad arguments.
#include "engine/core/CommandLine.h"
#include "engine/core/OutputFile.h"
#include "engine/core/StandardStreams.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/TextureFrameBuffer.h"
#include "icicle/IcicleMeshWrangler.h"
#include "icicle/IcicleRenderer.h"
#include "icicle/IcicleResources.h"
#include "scan/OverlappingPaths.h"
#include "tools/snapshot/ChartScreen.h"
#include "tools/snapshot/HiddenGlContext.h"
#include "tools/snapshot/PngFile.h"
#include "tools/snapshot/SnapshotOptions.h"
#if VELBRIN_SCAN_FILES
#include "scanfile/ScanFileImporter.h"
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include "engine/core/win32/WideText.h"
#endif

namespace {

constexpr int EXIT_WRITTEN = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

int failure(const std::string& text)
{
    std::fprintf(stderr, "velbrin-snapshot: %s\n", text.c_str());
    return EXIT_FAILED;
}

// The file system's path for a UTF-8 argument: its bytes on Linux, its UTF-16 form on Windows
// (where a narrow path would go through the ANSI code page).
std::filesystem::path nativePath(const std::string& path)
{
#ifdef _WIN32
    return std::filesystem::path(orvex::toWidePath(path));
#else
    return std::filesystem::path(path);
#endif
}

// Each DIR must exist and be a directory or a regular file (what the scanner can map).
bool checkSource(const std::string& path, std::string& error)
{
    if (path == "-") {
        // Found before the display connection is opened, which is slow and may fail for its own reasons.
        if (orvex::standardStreamWasClosed(orvex::StandardStream::STANDARD_INPUT)) {
            error = "- names standard input, but it was closed when velbrin-snapshot started: there is no stored "
                    "scan to read";
            return false;
        }
        return true; // standard input: a stored scan, read once
    }

    std::error_code failed;
    const std::filesystem::file_status info = std::filesystem::status(nativePath(path), failed);
    if (failed) {
        error = path + ": " + failed.message();
        return false;
    }
    if (!std::filesystem::is_directory(info) && !std::filesystem::is_regular_file(info)) {
        error = path + " is neither a file nor a directory";
        return false;
    }
    return true;
}

// Finds an output that cannot be written before the scan, which may take long; the final write
// still reports its own errors.
bool checkOutput(const std::string& path, std::string& error)
{
    return orvex::OutputFile::checkWritable(path, error);
}

// The paths the scan charts: those given, less the directories another one counted.
std::vector<std::string> scannedPaths(const std::vector<std::string>& given, const std::vector<LeftOutPath>& leftOut)
{
    std::vector<std::string> scanned;
    for (size_t i = 0, next = 0; i < given.size(); ++i) {
        if (next < leftOut.size() && leftOut[next].index == i)
            ++next;
        else
            scanned.push_back(given[i]);
    }
    return scanned;
}

} // namespace

int main(int argc, char** argv)
{
    orvex::openStandardStreams();
    // UTF-8 on every platform, so that paths outside the ANSI code page reach the scanner whole.
    const std::vector<std::string> arguments = orvex::commandLineArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    std::string error;
    bool help = false;
    std::optional<SnapshotOptions> parsed =
        parseSnapshotOptions(int(arguments.size()), pointers.data(), error, help);
    if (help) {
        std::fputs(SNAPSHOT_USAGE, stdout);
        return EXIT_WRITTEN;
    }
    if (!parsed) {
        std::fprintf(stderr, "velbrin-snapshot: %s\n%s", error.c_str(), SNAPSHOT_USAGE);
        return EXIT_USAGE;
    }
    const SnapshotOptions& options = *parsed;
    for (const std::string& path : options.paths)
        if (!checkSource(path, error))
            return failure(error);
    if (!checkOutput(options.output, error))
        return failure(error);

    // GL before the scan, so that a machine without it fails at once.
    HiddenGlContext gl;
    if (!gl.open(error))
        return failure("cannot draw: " + error +
                       ". An OpenGL 3.3 context with geometry shaders is needed: run in a desktop session or "
                       "under xvfb-run.");
    orvex::GlContext& context = *gl.context();
    IcicleResources resources;
    if (!createIcicleResources(context, resources))
        return failure("the chart's shaders or textures cannot be created (OpenGL 3.3 with geometry shaders "
                       "is needed): " + context.lastError());
    orvex::UniquePtr<orvex::TextureFrameBuffer> target(
        orvex::TextureFrameBuffer::create(&context, options.width, options.height));
    if (!target)
        return failure(context.lastError());

    ScanProblems problems;
    ImportedScan imported;
    // As the program does, what can never be drawn is folded away (stored scans always, large
    // scans past the budget); except when the names are sorted, which reorders what a fold
    // keeps in listing order.
    const uint64_t budget = options.sortNames ? TreeFolding::never : TreeFolding::defaultBudget;
#if VELBRIN_SCAN_FILES
    ScanFileImporter importer; // a stored scan draws like the directory it recorded
    orvex::UniquePtr<FilesystemNode> tree = scanPaths(options.paths, &problems, &importer, &imported, budget);
#else
    orvex::UniquePtr<FilesystemNode> tree = scanPaths(options.paths, &problems, nullptr, nullptr, budget);
#endif
    if (!tree && !problems.importFailure.empty())
        return failure("cannot read " + problems.importFailure);
    if (const std::string text = describeLeftOut(problems.leftOut); !text.empty())
        std::fprintf(stderr, "velbrin-snapshot: left out, as already counted: %s\n", text.c_str());
    const std::vector<std::string> scanned = scannedPaths(options.paths, problems.leftOut);
    const std::string source = scanned.size() == 1 ? scanned[0] : std::to_string(scanned.size()) + " scans";
    if (!tree)
        return failure(source + " could not be scanned (neither a file nor a directory)");
    // An empty chart of a directory that could not be read would pass for an empty directory.
    if (problems.rootUnlisted)
        return failure("cannot read " + scanned[0] + ": " + std::strerror(problems.firstError));
    if (const std::string text = describeProblems(problems); !text.empty())
        std::fprintf(stderr, "velbrin-snapshot: %s\n", text.c_str());
    if (options.sortNames)
        sortByName(*tree);
    const uint64_t totalBytes = tree->size;
    const std::string caption = rootCaption(tree->name.view(), imported, problems);
    IcicleNodeLookup lookup;
    IcicleOptimization::Marks marks;
    marks.unreadableNodes = &problems.unlistedNodes; // hatched, as in the program
    IcicleMesh<orvex::MasterPtr, int> mesh = IcicleMeshWrangler::createOptimizedMesh(
        lookup, &context, std::move(tree), minimumNodeSize(totalBytes), caption, marks);
    if (!mesh.mesh)
        return failure("the chart's vertex buffer could not be created: " + context.lastError());

    orvex::Vector<double, 2> view { { 0.0, mesh.totalSize } };
    if (!options.wholeTree) {
        view = { { std::min(options.viewStart, mesh.totalSize), std::min(options.viewEnd, mesh.totalSize) } };
        if (view[0] >= view[1]) {
            std::fprintf(stderr, "velbrin-snapshot: --view %.17g:%.17g lies outside the tree (0:%.17g bytes)\n",
                         options.viewStart, options.viewEnd, mesh.totalSize);
            return EXIT_USAGE;
        }
    }

    IcicleRenderer renderer(resources);
    drawChartScreen(renderer, mesh, *target, view, options.rows);
    const orvex::Image picture = target->readPixels();
    if (!writePng(options.output, picture, error))
        return failure(error);
    // A tree of 0 bytes is drawn over one byte's width, but it holds nothing to view.
    if (totalBytes == 0)
        view = { { 0.0, 0.0 } };
    std::printf("%s: %dx%d, %s (%llu bytes%s), view %.17g:%.17g, %d rows\n", options.output.c_str(), options.width,
                options.height, source.c_str(), (unsigned long long)totalBytes,
                problems.saturated ? ", saturated: the true total is larger" : "", view[0], view[1],
                options.rows);
    return EXIT_WRITTEN;
}
