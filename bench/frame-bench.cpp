// frame-bench [TREE_1M [TREE_1K]] [--frames N]: times frames of IcicleRenderer::drawMesh for the
// chart of a large scanned tree and of a 1,000-file tree, offscreen at 1280 x 757 (the chart's size
// in a 1280 x 854 window), at three zooms — the whole tree, 1/1000 and 1/1,000,000 of it — with
// and without the label pass. A frame is a clear plus drawMesh plus glFinish; each case runs N
// frames (default 31) after two warm-up frames, cycling through the five view positions (of 257
// spread over the tree) that submit the most vertices at that zoom, and reports
//   tree=NAME zoom=Z labels=on|off median_ms=M max_ms=X vertices=V
// (V: the most vertices submitted in one frame), then per zoom and label setting the ratio of
// the large tree's median to the small one's. The large tree is also drawn from a second mesh built
// without small-item blocks (tree=large-noblocks, at the large chart's view positions), and the
// ratio of the two medians, timed frame by frame in turn, says what the blocks add to a frame. Without TREE_1K, a 1,000-file tree
// is made with bench/make-tree.sh (seed 7) in a temporary folder and removed afterwards.
#include "engine/core/Clock.h"
#include "engine/gl/FrameBuffer.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/TextureFrameBuffer.h"
#include "icicle/IcicleMeshWrangler.h"
#include "icicle/IcicleRenderer.h"
#include "icicle/IcicleResources.h"
#include "tools/snapshot/ChartScreen.h"
#include "tools/snapshot/HiddenGlContext.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 1280;
constexpr int HEIGHT = 757;
constexpr double ROW_SCALE = 0.125;
constexpr double ZOOMS[] = { 1.0, 1e-3, 1e-6 };
constexpr int CANDIDATES = 257; // view centres tried per zoom, evenly spread over the tree
constexpr size_t BUSIEST = 5;   // of which the ones submitting the most vertices are timed

struct Chart {
    std::string name;
    IcicleNodeLookup lookup;
    IcicleMesh<orvex::MasterPtr, int> mesh;
};

struct Timing {
    double medianMs = 0;
    double maxMs = 0;
    int64_t maxVertices = 0;
};

bool loadChart(orvex::GlContext& context, const std::string& path, Chart& chart, bool smallItemBlocks = true)
{
    orvex::UniquePtr<FilesystemNode> tree = scanDirectory(path);
    if (!tree) {
        std::fprintf(stderr, "frame-bench: %s is neither a file nor a directory\n", path.c_str());
        return false;
    }
    const uint64_t total = tree->size;
    IcicleOptimization::Marks marks;
    marks.smallItemBlocks = smallItemBlocks;
    chart.mesh = IcicleMeshWrangler::createOptimizedMesh(chart.lookup, &context, std::move(tree), minimumNodeSize(total),
                                                         {}, marks);
    if (!chart.mesh.mesh) {
        std::fprintf(stderr, "frame-bench: no GPU mesh for %s: %s\n", path.c_str(), context.lastError().c_str());
        return false;
    }
    std::printf("chart %s: %s, %d vertices (%zu small-item blocks), %.0f bytes\n", chart.name.c_str(), path.c_str(),
                chart.mesh.mesh->vertexCount, chart.lookup.smallItemBlocks().blocks().size(), chart.mesh.totalSize);
    return true;
}

// The visible range of width total x zoom centred at `position`, kept inside the tree.
orvex::Vector<double, 2> viewAt(double total, double zoom, double position)
{
    const double width = total * zoom;
    const double start = std::clamp(total * position - width / 2, 0.0, total - width);
    return { { start, start + width } };
}

const orvex::Vector<double, 2> CHART_SIZE { { double(WIDTH), double(HEIGHT) } };
const orvex::Vector<float, 2> VIEWPORT { { float(WIDTH), float(HEIGHT) } };

// The view centres (fractions of the tree) whose frames submit the most vertices at `zoom`: a
// frame's cost should stay bounded for the busiest view, not only for a typical one.
std::vector<double> busiestPositions(IcicleRenderer& renderer, orvex::FrameBuffer& target, const Chart& chart,
                                     double zoom)
{
    std::vector<std::pair<int64_t, double>> tried;
    target.makeCurrent();
    for (int i = 0; i < CANDIDATES; ++i) {
        const double position = double(i) / (CANDIDATES - 1);
        renderer.drawMesh(chart.mesh, CHART_SIZE, viewAt(chart.mesh.totalSize, zoom, position), ROW_SCALE, 1.0,
                          VIEWPORT, 1.0f);
        tried.push_back({ renderer.lastSubmittedVertices(), position });
    }
    std::stable_sort(tried.begin(), tried.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<double> positions;
    for (size_t i = 0; i < BUSIEST && i < tried.size(); ++i)
        positions.push_back(tried[i].second);
    return positions;
}

// Frames of each chart in turn, at the same view each round, so that drift in the machine's load
// falls on all of them alike (the blocks' cost is a few per cent, below that drift).
std::vector<Timing> timeFrames(IcicleRenderer& renderer, orvex::FrameBuffer& target,
                               const std::vector<const Chart*>& charts, double zoom, int frames,
                               const std::vector<double>& positions)
{
    std::vector<std::vector<double>> ms(charts.size());
    std::vector<Timing> timings(charts.size());
    target.makeCurrent();
    target.setBlending(true);
    for (int i = -2; i < frames; ++i) {
        const double position = positions[size_t(i + 2) % positions.size()];
        for (size_t c = 0; c < charts.size(); ++c) {
            const Chart& chart = *charts[c];
            const orvex::TimePoint started = orvex::TimePoint::now();
            target.context()->clear({ 0.125f, 0.0f, 0.125f, 1.0f });
            renderer.drawMesh(chart.mesh, CHART_SIZE, viewAt(chart.mesh.totalSize, zoom, position), ROW_SCALE, 1.0,
                              VIEWPORT, 1.0f);
            orvex::gl::Finish();
            const double elapsed = orvex::seconds(orvex::TimePoint::now() - started) * 1000.0;
            if (i < 0)
                continue; // warm-up: shader and buffer first use
            ms[c].push_back(elapsed);
            timings[c].maxVertices = std::max(timings[c].maxVertices, renderer.lastSubmittedVertices());
        }
    }
    for (size_t c = 0; c < charts.size(); ++c) {
        std::sort(ms[c].begin(), ms[c].end());
        timings[c].medianMs = ms[c][ms[c].size() / 2];
        timings[c].maxMs = ms[c].back();
    }
    return timings;
}

// A 1,000-file tree from make-tree.sh in a new temporary folder; empty on failure.
std::string makeSmallTree()
{
    char pattern[] = "/tmp/frame-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return {};
    const std::string folder = pattern;
    const std::string command = "bash '" VELBRIN_BENCH_DIR "/make-tree.sh' '" + folder + "/tree' 1000 7 >/dev/null";
    if (std::system(command.c_str()) != 0) {
        std::filesystem::remove_all(folder);
        return {};
    }
    return folder;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> trees;
    int frames = 31;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            frames = std::atoi(argv[++i]);
        } else if (argv[i][0] != '-' && trees.size() < 2) {
            trees.push_back(argv[i]);
        } else {
            std::fprintf(stderr, "usage: frame-bench [TREE_1M [TREE_1K]] [--frames N]\n");
            return 2;
        }
    }
    if (trees.empty())
        trees.push_back("/var/tmp/velbrin-bench/tree-1000000");
    std::string temporary;
    if (trees.size() < 2) {
        temporary = makeSmallTree();
        if (temporary.empty()) {
            std::fprintf(stderr, "frame-bench: bench/make-tree.sh could not make the 1,000-file tree\n");
            return 1;
        }
        trees.push_back(temporary + "/tree");
    }

    HiddenGlContext gl;
    std::string why;
    int status = 0;
    if (!gl.open(why)) {
        std::fprintf(stderr, "frame-bench: %s (run under xvfb-run without a display)\n", why.c_str());
        status = 1;
    }
    IcicleResources resources;
    if (status == 0 && !createIcicleResources(*gl.context(), resources)) {
        std::fprintf(stderr, "frame-bench: chart resources: %s\n", gl.context()->lastError().c_str());
        status = 1;
    }
    orvex::UniquePtr<orvex::TextureFrameBuffer> target;
    if (status == 0) {
        target.reset(orvex::TextureFrameBuffer::create(gl.context(), WIDTH, HEIGHT));
        if (!target) {
            std::fprintf(stderr, "frame-bench: %s\n", gl.context()->lastError().c_str());
            status = 1;
        }
    }
    constexpr int CHARTS = 3;
    Chart charts[CHARTS];
    charts[0].name = "large";
    charts[1].name = "1k";
    charts[2].name = "large-noblocks";
    for (int c = 0; c < CHARTS && status == 0; ++c)
        if (!loadChart(*gl.context(), trees[size_t(c % 2)], charts[c], c != 2))
            status = 1;
    if (!temporary.empty())
        std::filesystem::remove_all(temporary);
    if (status != 0)
        return status;

    std::printf("renderer %s, %dx%d, %d frames per case\n",
                reinterpret_cast<const char*>(orvex::gl::GetString(GL_RENDERER)), WIDTH, HEIGHT, frames);
    IcicleRenderer renderer(resources);
    Timing results[CHARTS][std::size(ZOOMS)][2];
    std::vector<double> positions[CHARTS][std::size(ZOOMS)];
    for (size_t z = 0; z < std::size(ZOOMS); ++z) {
        for (int c = 0; c < 2; ++c)
            positions[c][z] = busiestPositions(renderer, *target, charts[c], ZOOMS[z]);
        positions[2][z] = positions[0][z]; // the same views, so that only the blocks differ
    }
    for (int labels = 1; labels >= 0; --labels) {
        renderer.labelPass = labels != 0;
        for (size_t z = 0; z < std::size(ZOOMS); ++z) {
            // The large chart with and without blocks frame by frame; the 1k chart alone.
            const std::vector<Timing> large
                = timeFrames(renderer, *target, { &charts[0], &charts[2] }, ZOOMS[z], frames, positions[0][z]);
            results[0][z][labels] = large[0];
            results[2][z][labels] = large[1];
            results[1][z][labels] = timeFrames(renderer, *target, { &charts[1] }, ZOOMS[z], frames, positions[1][z])[0];
            for (int c = 0; c < CHARTS; ++c) {
                const Timing t = results[c][z][labels];
                std::printf("tree=%s zoom=%g labels=%s median_ms=%.3f max_ms=%.3f vertices=%lld\n",
                            charts[c].name.c_str(), ZOOMS[z], labels ? "on" : "off", t.medianMs, t.maxMs,
                            (long long)t.maxVertices);
            }
        }
    }
    // Without the label pass only the rectangle pass submits vertices: half as many.
    if (results[0][0][0].maxVertices == results[0][0][1].maxVertices && results[0][0][0].maxVertices > 0)
        std::printf("warning: IcicleRenderer ignores labelPass, so labels=off still includes the label pass\n");
    for (int labels = 1; labels >= 0; --labels)
        for (size_t z = 0; z < std::size(ZOOMS); ++z)
            std::printf("ratio large/1k zoom=%g labels=%s: %.3f\n", ZOOMS[z], labels ? "on" : "off",
                        results[0][z][labels].medianMs / results[1][z][labels].medianMs);
    for (int labels = 1; labels >= 0; --labels)
        for (size_t z = 0; z < std::size(ZOOMS); ++z)
            std::printf("ratio blocks/noblocks zoom=%g labels=%s: %.3f\n", ZOOMS[z], labels ? "on" : "off",
                        results[0][z][labels].medianMs / results[2][z][labels].medianMs);
    return 0;
}
