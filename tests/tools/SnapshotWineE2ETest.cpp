// The Windows velbrin-snapshot.exe (the MinGW-w64 build in build-windows/) run under Wine on a tree
// this test writes, its picture compared with the Linux build's picture of the same tree. Both
// run in the tree's parent folder with the same relative DIR, so the root label reads the same;
// one tree has a name outside ASCII, which reaches the Windows program only if it reads its
// arguments as UTF-16 and opens paths through the wide API; a third case is a stored scan of a
// POSIX system (a JSON export), which both builds read and draw alike. The comparison runs here, where
// libpng reads both files. Skipped when the Windows build or Wine is missing. Needs a display
// (xvfb-run): both programs draw through a hidden window's context.
#include "PictureDifference.h"
#include "tools/snapshot/PngFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string LINUX_TOOL = VELBRIN_SNAPSHOT_TOOL;
const std::string WINDOWS_TOOL = VELBRIN_WINDOWS_SNAPSHOT_TOOL;
const std::string WINE_RUN = VELBRIN_WINE_RUN;

// (path, bytes); files are sparse.
struct Entry {
    const char* path;
    uint64_t bytes;
};
constexpr Entry TREE[] = {
    { "archive.tar", 3000000 },          { "photos/2023/img1.jpg", 900000 }, { "photos/2023/img2.jpg", 700000 },
    { "photos/2024/strand.jpg", 1200000 }, { "src/engine/render.cpp", 300000 }, { "src/main.cpp", 150000 },
    { "src/tools/a.py", 80000 },          { "notes.txt", 60000 },          { "empty.dat", 0 },
};

std::string readText(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool wineInstalled() { return std::system("command -v wine >/dev/null 2>&1") == 0; }

class SnapshotWineE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(WINDOWS_TOOL))
            GTEST_SKIP() << WINDOWS_TOOL << " is not built (scripts/build-windows velbrin-snapshot)";
        if (!wineInstalled())
            GTEST_SKIP() << "wine is not installed";
        // Under /var/tmp, which Wine reaches through drive Z: like every other host folder.
        std::string pattern = (fs::temp_directory_path() / "snapshot-wine-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        if (!folder.empty())
            fs::remove_all(folder);
    }

    void writeTree(const std::string& root)
    {
        for (const Entry& entry : TREE) {
            const fs::path file = folder / root / entry.path;
            fs::create_directories(file.parent_path());
            std::ofstream(file).close();
            fs::resize_file(file, entry.bytes);
        }
    }

    // Runs `program` in the test's folder; returns its exit status, with its stderr in `errors`.
    int run(const std::string& program, const std::string& arguments, std::string& errors)
    {
        const std::string command =
            "cd '" + folder.string() + "' && " + program + " " + arguments + " >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        errors = readText(folder / "stderr.txt");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    fs::path folder;
};

} // namespace

TEST_F(SnapshotWineE2ETest, WindowsPictureMatchesLinuxPicture)
{
    struct Row { const char* name; std::string root; bool storedScan; };
    const Row rows[] = {
        { "ASCII name", "snapshot-tree", false },
        { "name outside ASCII and the ANSI code page", "sn\xC3\xA4pshot-\xCE\xB4\xCE\xAD\xCE\xBD\xCF\x84\xCF\x81\xCE\xBF", false },
        { "a POSIX system's stored scan", "server-sc\xC3\xA4n.json", true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.storedScan) {
            std::ofstream(folder / row.root)
                << "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\"},\n[{\"name\":\"/srv/data\",\"asize\":4096},"
                   "{\"name\":\"archive.tar\",\"asize\":3000000},[{\"name\":\"ph\xC3\xB6tos\"},"
                   "{\"name\":\"img1.jpg\",\"asize\":900000},{\"name\":\"img2.jpg\",\"asize\":700000}],"
                   "{\"name\":\"notes.txt\",\"asize\":60000}]]\n";
        } else {
            writeTree(row.root);
        }
        std::string errors;
        const std::string common = "'" + row.root + "' --size 320x200 --rows 4 --sorted -o ";
        ASSERT_EQ(run("'" + LINUX_TOOL + "'", common + "linux.png", errors), 0) << errors;
        ASSERT_EQ(run("'" + WINE_RUN + "' '" + WINDOWS_TOOL + "'", common + "windows.png", errors), 0) << errors;

        orvex::Image linux, windows;
        std::string error;
        ASSERT_TRUE(readPng((folder / "linux.png").string(), linux, error)) << error;
        ASSERT_TRUE(readPng((folder / "windows.png").string(), windows, error)) << error;
        ASSERT_EQ(windows.width(), linux.width());
        ASSERT_EQ(windows.height(), linux.height());

        // The same driver family draws both, yet the two builds' floating point may differ in the
        // last bits (label edges, blending rounding); a moved cell, a lost label or a swapped
        // colour changes far more than this allows; names outside ASCII come from each build's
        // glyph page, so label pixels are held to the bar on their own.
        const PictureDifference difference = PictureDifference::between(windows, linux);
        EXPECT_LT(difference.meanDifference, 0.5) << "per channel";
        EXPECT_GE(difference.closeShare, 0.99) << "share of pixels within 4 levels";
        EXPECT_GE(difference.labelShare, 0.98) << "share of " << difference.labels << " label pixels within 4 levels";
        if (HasFailure()) {
            const fs::path kept = fs::temp_directory_path() / "snapshot-wine-windows.png";
            fs::copy_file(folder / "windows.png", kept, fs::copy_options::overwrite_existing);
            ADD_FAILURE() << "the Windows picture is kept as " << kept;
            return;
        }
        fs::remove(folder / "linux.png");
        fs::remove(folder / "windows.png");
    }
}
