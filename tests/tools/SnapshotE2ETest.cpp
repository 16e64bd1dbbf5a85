// velbrin-snapshot run as a program: its picture of a small tree that the test writes itself is
// compared with tests/data/snapshot-tree-320x200.png (within a tolerance, since rasterisers
// differ in the last bits), its scroll-bar thumb follows --view, and its exit status is 2 for bad
// arguments and 1 for a missing DIR, an unwritable output or no display, with no picture left
// behind, and an output that is not a regular file is refused and kept. Needs a display for the
// drawing cases (xvfb-run).
//
// The reference picture is regenerated after an intended change of the chart's look with
//   VELBRIN_UPDATE_REFERENCE=1 xvfb-run -a BUILD/tests/tools/tools_e2e_tests --gtest_filter='*Reference*'
// which overwrites tests/data/snapshot-tree-320x200.png and tests/data/snapshot-scripts-480x240.png
// (names in Cyrillic, Greek, CJK and Latin with accents, drawn from the chart's glyph page); look
// at them before committing them.
#include "PictureDifference.h"
#include "tools/snapshot/PngFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string TOOL = VELBRIN_SNAPSHOT_TOOL;
const std::string REFERENCE = std::string(VELBRIN_TEST_DATA) + "/snapshot-tree-320x200.png";
const std::string SCRIPTS_REFERENCE = std::string(VELBRIN_TEST_DATA) + "/snapshot-scripts-480x240.png";

// The tree, as (path, bytes); directories are made on the way. Files are sparse, so sizes cost
// no disk space.
struct Entry {
    const char* path;
    uint64_t bytes;
};
constexpr Entry TREE[] = {
    { "archive.tar", 3000000 },        { "photos/2023/img1.jpg", 900000 }, { "photos/2023/img2.jpg", 700000 },
    { "photos/2023/img3.jpg", 400000 }, { "photos/2024/beach.jpg", 1200000 }, { "photos/2024/city.jpg", 500000 },
    { "src/engine/render.cpp", 300000 }, { "src/engine/window.cpp", 200000 }, { "src/main.cpp", 150000 },
    { "src/tools/a.py", 80000 },        { "src/tools/b.py", 40000 },       { "notes.txt", 60000 },
    { "empty.dat", 0 },
};
constexpr Entry SCRIPTS_TREE[] = {
    { "Фото/снимок.jpg", 3000000 },      { "日本/写真.png", 2000000 }, { "Ελληνικά/αρχείο.dat", 1500000 },
    { "données/résumé.txt", 1000000 }, { "naïve café.txt", 600000 },
};

uint64_t treeBytes()
{
    uint64_t total = 0;
    for (const Entry& entry : TREE)
        total += entry.bytes;
    return total;
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SnapshotE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "snapshot-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        write("snapshot-tree", TREE);
        write("snapshot-scripts", SCRIPTS_TREE);
    }
    template <size_t N>
    void write(const std::string& name, const Entry (&entries)[N])
    {
        for (const Entry& entry : entries) {
            const fs::path file = folder / name / fs::path(std::u8string(reinterpret_cast<const char8_t*>(entry.path)));
            fs::create_directories(file.parent_path());
            std::ofstream(file).close();
            fs::resize_file(file, entry.bytes);
        }
    }
    // The picture `name` against `reference` (or, with VELBRIN_UPDATE_REFERENCE set, written as
    // it). Rasterisers may differ by a level here and there (label edges, blending rounding); a
    // moved cell, a lost label or a wrong colour changes far more. Label pixels (the bright ones)
    // are held to the same bar on their own, so a few wrong glyphs cannot hide among the cells.
    void expectReference(const std::string& name, const std::string& reference)
    {
        const orvex::Image shot = picture(name);
        if (std::getenv("VELBRIN_UPDATE_REFERENCE")) {
            fs::copy_file(folder / name, reference, fs::copy_options::overwrite_existing);
            GTEST_SKIP() << "wrote " << reference;
        }
        orvex::Image expected;
        std::string error;
        ASSERT_TRUE(readPng(reference, expected, error)) << error;
        ASSERT_EQ(expected.width(), shot.width());
        ASSERT_EQ(expected.height(), shot.height());
        const PictureDifference difference = PictureDifference::between(shot, expected);
        if (!difference.acceptable()) {
            const fs::path kept = fs::temp_directory_path() / (fs::path(reference).stem().string() + "-actual.png");
            fs::copy_file(folder / name, kept, fs::copy_options::overwrite_existing);
            ADD_FAILURE() << "mean difference " << difference.meanDifference << " per channel, " << difference.closeShare * 100
                          << "% of pixels and " << difference.labelShare * 100 << "% of " << difference.labels
                          << " label pixels within 4 levels; this run's picture: " << kept;
        }
    }
    void TearDown() override { fs::remove_all(folder); }

    struct Result {
        int status = -1;
        std::string errors;
    };
    // Runs the tool in the test's folder, so that the root label shows the same relative path
    // "snapshot-tree" on every machine. `environment` prefixes the command (env assignments).
    Result run(const std::string& arguments, const std::string& environment = "")
    {
        const std::string command = "cd '" + folder.string() + "' && " + environment + " '" + TOOL + "' " +
                                    arguments + " >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        Result result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.errors = readText(folder / "stderr.txt");
        return result;
    }
    orvex::Image picture(const std::string& name)
    {
        orvex::Image image;
        std::string error;
        EXPECT_TRUE(readPng((folder / name).string(), image, error)) << error;
        return image;
    }

    fs::path folder;
};

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
Rgb pixel(const orvex::Image& image, int x, int y)
{
    const uint8_t* p = image.data() + (size_t(y) * size_t(image.width()) + size_t(x)) * 4;
    return { p[0], p[1], p[2] };
}
void PrintTo(const Rgb& c, std::ostream* out) { *out << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

} // namespace

TEST_F(SnapshotE2ETest, PictureMatchesTheReference)
{
    const Result result = run("snapshot-tree -o shot.png --size 320x200 --rows 4 --sorted");
    ASSERT_EQ(result.status, 0) << result.errors;
    expectReference("shot.png", REFERENCE);
}

// Names in four scripts: every character drawn from the chart's own glyph page, none as a box.
TEST_F(SnapshotE2ETest, NamesInEveryScriptMatchTheirReference)
{
    const Result result = run("snapshot-scripts -o scripts.png --size 480x240 --rows 3 --sorted");
    ASSERT_EQ(result.status, 0) << result.errors;
    expectReference("scripts.png", SCRIPTS_REFERENCE);
}

TEST_F(SnapshotE2ETest, ScrollBarThumbFollowsTheView)
{
    // Row 88 lies in the scroll bar under the 80-pixel root label band.
    const Rgb thumb { 80, 80, 80 }, background { 16, 16, 16 };
    const double half = double(treeBytes()) / 2;
    struct Row { const char* name; std::string view; Rgb left, right; };
    const Row rows[] = {
        { "whole tree", "", thumb, thumb },
        { "left half", "--view 0:" + std::to_string(half), thumb, background },
        { "right half, end clamped to the tree", "--view " + std::to_string(half) + ":1e15", background, thumb },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Result result = run("snapshot-tree -o view.png --size 320x200 " + row.view);
        ASSERT_EQ(result.status, 0) << result.errors;
        const orvex::Image shot = picture("view.png");
        EXPECT_EQ(pixel(shot, 10, 88), row.left);
        EXPECT_EQ(pixel(shot, 310, 88), row.right);
    }
}

TEST_F(SnapshotE2ETest, FailuresExitWithStatusAndReasonAndNoPicture)
{
    struct Row { const char* name; std::string arguments, environment; int status; const char* reason; };
    const Row rows[] = {
        { "no arguments", "", "", 2, "usage:" },
        { "no output", "snapshot-tree", "", 2, "no output file" },
        { "unknown option", "snapshot-tree -o out.png --colour red", "", 2, "unknown option" },
        { "bad size", "snapshot-tree -o out.png --size 320by200", "", 2, "--size" },
        { "empty view", "snapshot-tree -o out.png --view 5:5", "", 2, "--view" },
        { "view beyond the tree", "snapshot-tree -o out.png --view 1e15:2e15", "", 2, "outside the tree" },
        { "empty DIR", "'' -o out.png", "", 2, "DIR is empty" },
        { "missing DIR", "no-such-dir -o out.png", "", 1, "no-such-dir: No such file or directory" },
        { "DIR neither file nor directory", "/dev/null -o out.png", "", 1, "neither a file nor a directory" },
        { "missing second DIR", "snapshot-tree no-such-dir -o out.png", "", 1, "no-such-dir: No such file or directory" },
        { "standard input twice", "- - -o out.png", "", 2, "more than once" },
        // Closed at the start: reading "-" would read whatever took descriptor 0 (the display's connection).
        { "standard input closed", "- -o out.png <&-", "", 1, "- names standard input, but it was closed" },
        { "standard input closed, after a DIR", "snapshot-tree - -o out.png <&-", "", 1, "but it was closed" },
        { "output folder missing", "snapshot-tree -o no-such-folder/out.png", "", 1, "cannot create" },
        { "output is a directory", "snapshot-tree -o snapshot-tree", "", 1, "is a directory" },
        // Only X is allowed, so that SDL cannot fall back to a console or offscreen driver.
        { "no display", "snapshot-tree -o out.png", "env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11", 1,
          "OpenGL 3.3" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Result result = run(row.arguments, row.environment);
        EXPECT_EQ(result.status, row.status) << result.errors;
        EXPECT_NE(result.errors.find(row.reason), std::string::npos) << result.errors;
        EXPECT_FALSE(fs::exists(folder / "out.png"));
    }
}

TEST_F(SnapshotE2ETest, StoredScanFromAPipeAndSeveralSources)
{
    std::ofstream(folder / "stored.json")
        << "[1,2,{\"timestamp\":1700000000},[{\"name\":\"/srv\"},{\"name\":\"a\",\"asize\":3000},"
           "[{\"name\":\"d\"},{\"name\":\"b\",\"asize\":1000}]]]\n";
    Result result = run("stored.json -o direct.png --size 320x200");
    ASSERT_EQ(result.status, 0) << result.errors;
    result = run("- -o piped.png --size 320x200", "cat stored.json |");
    ASSERT_EQ(result.status, 0) << result.errors;
    const orvex::Image direct = picture("direct.png"), piped = picture("piped.png");
    ASSERT_EQ(direct.width(), piped.width());
    EXPECT_TRUE(std::equal(direct.data(), direct.data() + size_t(direct.width()) * size_t(direct.height()) * 4,
                           piped.data()))
        << "a stored scan read from a pipe draws as the file does";

    result = run("snapshot-tree - -o both.png --size 320x200", "cat stored.json |");
    ASSERT_EQ(result.status, 0) << result.errors;
    const std::string summary = readText(folder / "stdout.txt");
    EXPECT_NE(summary.find("2 scans"), std::string::npos) << summary;
}

// A directory given again, or inside another given one, by whatever path or link, is drawn once.
TEST_F(SnapshotE2ETest, OverlappingSourcesAreCountedOnce)
{
    fs::create_directory_symlink("snapshot-tree", folder / "alias");
    const std::string total = std::to_string(treeBytes());
    struct Row { const char* name; const char* arguments; std::string summary, leftOut; };
    const Row rows[] = {
        { "twice", "snapshot-tree snapshot-tree", "snapshot-tree (" + total + " bytes", "snapshot-tree (given twice)" },
        { "inside", "snapshot-tree/photos snapshot-tree", "snapshot-tree (" + total + " bytes",
          "snapshot-tree/photos (inside snapshot-tree)" },
        { "through a link, with another scan", "alias snapshot-scripts snapshot-tree/src snapshot-tree",
          "2 scans (" + std::to_string(treeBytes() + 8100000) + " bytes",
          "snapshot-tree/src (inside alias), snapshot-tree (the same directory as alias)" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Result result = run(std::string(row.arguments) + " -o once.png --size 320x200");
        ASSERT_EQ(result.status, 0) << result.errors;
        EXPECT_NE(readText(folder / "stdout.txt").find(row.summary), std::string::npos) << readText(folder / "stdout.txt");
        EXPECT_NE(result.errors.find("left out, as already counted: " + row.leftOut), std::string::npos) << result.errors;
    }
}

TEST_F(SnapshotE2ETest, OutputThatIsNotARegularFileIsRefusedAndKept)
{
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0644), 0);
    // /dev/full: a tool that opened it for writing would fail and could then remove what it named.
    fs::create_symlink("/dev/full", folder / "device-link");
    struct Row { const char* name; const char* output; };
    const Row rows[] = { { "FIFO", "pipe" }, { "symbolic link to a device", "device-link" } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A tool that opened the FIFO would wait for a reader for ever.
        const Result result = run(std::string("snapshot-tree --size 320x200 -o ") + row.output, "timeout 120");
        EXPECT_EQ(result.status, 1) << result.errors;
        EXPECT_NE(result.errors.find("not a regular file"), std::string::npos) << result.errors;
    }
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(folder / "pipe")));
    EXPECT_TRUE(fs::is_symlink(folder / "device-link"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(SnapshotE2ETest, NoRuntimeFolderNoiseWithoutASession)
{
    // Wayland only and no XDG_RUNTIME_DIR: the context cannot be made, and the reason is all that
    // is printed. The private folder made meanwhile is gone afterwards.
    fs::create_directory(folder / "tmp");
    const Result result = run("snapshot-tree -o out.png", "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR TMPDIR='" +
                                                              (folder / "tmp").string() + "' SDL_VIDEODRIVER=wayland");
    EXPECT_EQ(result.status, 1) << result.errors;
    EXPECT_NE(result.errors.find("OpenGL 3.3"), std::string::npos) << result.errors;
    EXPECT_EQ(result.errors.find("XDG_RUNTIME_DIR"), std::string::npos) << result.errors;
    EXPECT_TRUE(fs::is_empty(folder / "tmp"));
}
