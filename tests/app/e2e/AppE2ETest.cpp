// The program as a user runs it, under a virtual X server: the start screen and its keyboard focus,
// SELECT and CHANGE DIRECTORY with a stand-in folder picker first on PATH (the window keeps
// drawing while it is open, and closes cleanly over it), failures written on the window's status
// line, the scanning overlay and its live preview, Escape during a scan, wheel zoom and drag pan
// on the chart, a double click revealing a file (a stand-in file manager on a private session bus,
// else a stand-in xdg-open), the chart's menu copying a path, Enter going into a selected folder,
// F6 re-reading the settings, and a device without OpenGL 3.3. The window is read with xwd and
// probed for the screens' colours; the last capture of a failed wait is kept.
//
// [SECTION] The program
// [SECTION] Fixture: trees, stand-ins, settings, waiting for a screen
// [SECTION] Start screen and folder picker
// [SECTION] Scanning
// [SECTION] The chart
// [SECTION] Acting on the tree: refresh and the trash
// [SECTION] Stored scans
// [SECTION] Failures and the command line
#include "E2ESupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <tuple>

using namespace e2e;

namespace {

// [SECTION] The program

constexpr Rgb CHART_BACKGROUND { 32, 0, 32 };     // behind the chart
constexpr Rgb PREVIEW_BACKGROUND { 32, 14, 32 };  // the shaded clear colour, raised by maximum blending
constexpr Rgb PREVIEW_CELL { 55, 51, 55 };        // a grey preview cell under the shade
constexpr Rgb BUTTON { 80, 80, 80 };              // a StyledButton at rest
constexpr Rgb PANEL_FRAME { 191, 159, 191 };      // the progress panel's frame
constexpr Rgb FAILURE_TEXT { 255, 140, 115 };     // the status line's text, inside its glyphs

const std::string PROGRAM = VELBRIN_PROGRAM;

// The program, started with its working directory in the test's folder (so no config.ini lying
// next to the test binary is read) and the stand-ins first on PATH.
class App {
public:
    // With `errors`, the program's standard error goes to that file.
    App(const fs::path& folder, const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
        const fs::path& errors = {})
    {
        child = fork();
        if (child == 0) {
            if (chdir(folder.c_str()) != 0)
                _exit(126);
            if (!errors.empty() && !std::freopen(errors.c_str(), "w", stderr))
                _exit(126);
            setenv("PATH", ((folder / "bin").string() + ":" + std::getenv("PATH")).c_str(), 1);
            for (const std::string& variable : environment)
                putenv(strdup(variable.c_str()));
            std::vector<char*> argv { const_cast<char*>(PROGRAM.c_str()) };
            for (const std::string& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(PROGRAM.c_str(), argv.data());
            _exit(127);
        }
        window = run("timeout 20 xdotool search --sync --onlyvisible --all --pid " + std::to_string(child)
                     + " --name 'Velbrin Preview$' | head -n 1"); // "tree — Velbrin Preview" once a chart shows
        if (!window.empty())
            xdotool("windowfocus --sync " + window);
    }
    ~App()
    {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
    }
    // Real (XTEST) input: keys go to the focused window, buttons to the pointer's position in it.
    void xdotool(const std::string& arguments) const { run("xdotool " + arguments + " 2>/dev/null"); }
    void key(const std::string& keys) const { xdotool("key --delay 60 " + keys); }
    // No --sync: it waits for a motion that never comes when the pointer is already there.
    void pointTo(int x, int y) const { xdotool("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y)); }
    void click(int x, int y, int button = 1, int repeat = 1) const
    {
        xdotool("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " click --repeat "
                + std::to_string(repeat) + " --delay 80 " + std::to_string(button));
    }

    pid_t child = -1;
    std::string window;
};

// [SECTION] Fixture: trees, stand-ins, settings, waiting for a screen

class AppE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
        if (std::system("command -v xdotool >/dev/null && command -v xwd >/dev/null") != 0)
            GTEST_SKIP() << "xdotool and xwd (x11-apps) are needed";
        std::string pattern = (fs::temp_directory_path() / "velbrin-app-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        // Row 1 holds two cells: a file with 6/7 of the bytes and a directory with the rest. The
        // middle of the row is always the file, whatever order the directory lists them in.
        fs::create_directories(folder / "tree/docs");
        for (auto [name, size] : { std::pair { "tree/big file.bin", 6000000 }, { "tree/docs/a.txt", 600000 },
                                   { "tree/docs/b.txt", 400000 } }) {
            std::ofstream(folder / name).close();
            fs::resize_file(folder / name, uintmax_t(size));
        }
        // Stand-ins that record every run: the folder picker answers with the path in
        // picker-answer (the small tree unless a test changes it), xdg-open keeps its arguments.
        fs::create_directories(folder / "bin");
        std::ofstream(folder / "picker-answer") << (folder / "tree").string() << "\n";
        writeScript("zenity", "echo ran >> '" + (folder / "zenity-runs").string() + "'\ncat '" + (folder / "picker-answer").string() + "'\n");
        writeScript("xdg-open", "printf '%s\\n' \"$@\" >> '" + (folder / "opened").string() + "'\n");
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        // No test may reach the user's session bus or file manager.
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (folder / "no-bus").string()).c_str(), 1);
    }
    void TearDown() override
    {
        if (folder.empty())
            return;
        // After a failure the kept screenshots stay in the folder's "artifacts"; the rest goes.
        for (const auto& entry : fs::directory_iterator(folder))
            if (!(HasFailure() && entry.path().filename() == "artifacts"))
                fs::remove_all(entry.path());
        if (!HasFailure())
            fs::remove(folder);
    }

    void writeScript(const std::string& name, const std::string& body)
    {
        std::ofstream(folder / "bin" / name) << "#!/bin/sh\n" << body;
        fs::permissions(folder / "bin" / name, fs::perms::owner_all);
    }
    void writeSettings(const std::string& text)
    {
        fs::create_directories(folder / "config/Velbrin");
        std::ofstream(folder / "config/Velbrin/config.ini") << text;
    }

    // 20,000 files in 10 × 20 directories; in each, one file of (1 + top index) MiB and 99 of
    // 1 KiB (sparse). Row 1 then holds ten cells sized 1 : 2 : ... : 10, and the preview stays
    // small enough for a software renderer to redraw it several times a second. Made once for
    // the whole suite (creating 20,000 files is slow on some file systems); no test changes it.
    static fs::path largeTree()
    {
        if (!largeFolder.empty())
            return largeFolder / "large";
        std::string pattern = (fs::temp_directory_path() / "velbrin-app-e2e-large-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return {};
        largeFolder = pattern;
        for (int top = 0; top < 10; ++top)
            for (int sub = 0; sub < 20; ++sub) {
                const fs::path directory = largeFolder / "large" / ("d" + std::to_string(top)) / ("s" + std::to_string(sub));
                fs::create_directories(directory);
                for (int file = 0; file < 100; ++file) {
                    const int fd = open((directory / ("f" + std::to_string(file))).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                    EXPECT_EQ(ftruncate(fd, file == 0 ? off_t(top + 1) << 20 : 1024), 0);
                    close(fd);
                }
            }
        return largeFolder / "large";
    }
    static void TearDownTestSuite()
    {
        if (!largeFolder.empty())
            fs::remove_all(largeFolder);
        largeFolder.clear();
    }
    static inline fs::path largeFolder;

    // The environment that makes each entry's size cost `microseconds`: a scan of the large tree
    // then lasts about 20,000 times that, whatever the caches hold.
    static std::vector<std::string> slowDisk(int microseconds)
    {
        return { std::string("LD_PRELOAD=") + VELBRIN_SLOW_STAT, "VELBRIN_E2E_STAT_DELAY_US=" + std::to_string(microseconds),
                 "ASAN_OPTIONS=verify_asan_link_order=0" };
    }

    // Captures the window until `seen` holds; after `timeout` the last capture is kept (in
    // $VELBRIN_E2E_ARTIFACTS, else in the test's folder) and the failure names it.
    testing::AssertionResult waitForScreen(const App& app, const std::string& what, const std::function<bool(const Screen&)>& seen,
                                           std::chrono::seconds timeout = 30s)
    {
        if (app.window.empty())
            return testing::AssertionFailure() << "the window never appeared (waiting for " << what << ")";
        const fs::path file = folder / "capture.xwd";
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        bool captured = false;
        do {
            Screen attempt;
            if (attempt.capture(app.window, file)) {
                captured = true;
                screen = std::move(attempt);
                if (seen(screen))
                    return testing::AssertionSuccess();
            }
            std::this_thread::sleep_for(100ms);
        } while (std::chrono::steady_clock::now() < deadline);
        if (!captured)
            return testing::AssertionFailure() << "no capture of the window while waiting for " << what;
        const char* kept = std::getenv("VELBRIN_E2E_ARTIFACTS");
        const fs::path directory = kept && *kept ? fs::path(kept) : folder / "artifacts";
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        const fs::path target = directory / (std::string(test->name()) + "-" + std::to_string(++kept_) + ".xwd");
        std::error_code error;
        fs::create_directories(directory, error);
        fs::copy_file(file, target, fs::copy_options::overwrite_existing, error);
        return testing::AssertionFailure() << what << " never showed within " << timeout.count() << " s; last screen: "
                                           << target.string() << (error ? " (could not be kept: " + error.message() + ")" : "");
    }

    // The finished chart: its background, no progress panel, no preview.
    static bool chartShown(const Screen& s)
    {
        return s.count(CHART_BACKGROUND) > 20000 && s.count(PANEL_FRAME) == 0 && s.count(PREVIEW_BACKGROUND) < 2000;
    }
    // The selection screen after a scan that gave no chart: SELECT DIRECTORY alone.
    static bool selectionShown(const Screen& s)
    {
        const auto box = s.bounds(BUTTON);
        const int width = box[2] - box[0] + 1, height = box[3] - box[1] + 1;
        return s.count(PANEL_FRAME) == 0 && s.count(PREVIEW_BACKGROUND) == 0 && s.count(CHART_BACKGROUND) == 0
            && width > 100 && width < 500 && height > 20 && height < 80 && s.count(BUTTON) > size_t(width * height / 2);
    }
    // The scanning overlay: the panel's frame over the preview's background.
    static bool overlayShown(const Screen& s) { return s.count(PANEL_FRAME) > 500 && s.count(PREVIEW_BACKGROUND) > 20000; }
    // The preview's grey cells on a line near the top of row 1 (above the panel and the labels).
    static int previewCells(const Screen& s)
    {
        const int top = s.firstCellRow(PREVIEW_BACKGROUND, s.width / 2);
        return top < 0 ? 0 : s.cellsOnLine(top + 3, PREVIEW_BACKGROUND);
    }
    static int chartCells(const Screen& s)
    {
        const int top = s.firstCellRow(CHART_BACKGROUND, s.width / 2);
        return top < 0 ? 0 : s.cellsOnLine(top + 3, CHART_BACKGROUND);
    }

    // The frame log's "frame" lines so far, and whether it holds "status TEXT".
    size_t framesLogged() const
    {
        const std::vector<std::string> lines = readLines(folder / "frames");
        return size_t(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("frame ", 0) == 0; }));
    }
    bool statusLogged(const std::string& text) const
    {
        const std::vector<std::string> lines = readLines(folder / "frames");
        return std::find(lines.begin(), lines.end(), "status " + text) != lines.end();
    }
    std::string frameLogVariable() const { return "VELBRIN_FRAME_LOG=" + (folder / "frames").string(); }

    fs::path folder;
    Screen screen; // the latest capture
    int kept_ = 0;
};

} // namespace

// [SECTION] Start screen and folder picker

TEST_F(AppE2ETest, SelectDirectoryLeadsToTheChart)
{
    App app(folder, {});
    ASSERT_TRUE(waitForScreen(app, "the start screen", [](const Screen& s) { return s.count(BUTTON) > 500 && s.count(CHART_BACKGROUND) == 0; }));
    // The keyboard focus starts on SELECT DIRECTORY.
    app.key("Return");
    EXPECT_TRUE(waitForScreen(app, "the picked directory's chart", chartShown));
}

// Focus order on the start screen: HOMEPAGE, SUPPORT THIS PROJECT, SELECT DIRECTORY (focused at
// first). Each step is observed through what Enter starts on the focused button.
TEST_F(AppE2ETest, TabAndShiftTabMoveTheFocusAndWrapAround)
{
    App app(folder, {});
    ASSERT_TRUE(waitForScreen(app, "the start screen", [](const Screen& s) { return s.count(BUTTON) > 500; }));
    const fs::path opened = folder / "opened";
    auto pressAndOpen = [&](const std::string& keys, size_t count) {
        app.key(keys + " Return");
        return waitUntil([&] { return readLines(opened).size() >= count; }) ? readLines(opened).back() : "<nothing opened>";
    };
    auto endsWith = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0 && text.rfind("https://", 0) == 0;
    };
    const std::string home = pressAndOpen("Tab", 1); // wraps from the last control to the first
    EXPECT_TRUE(endsWith(home, "/velbrin/")) << home;
    const std::string support = pressAndOpen("Tab", 2);
    EXPECT_TRUE(endsWith(support, "/velbrin/donate/")) << support;
    EXPECT_EQ(pressAndOpen("shift+Tab", 3), home);
    EXPECT_FALSE(fs::exists(folder / "zenity-runs"));
    app.key("shift+Tab Return"); // wraps from the first control to the last: SELECT DIRECTORY
    EXPECT_TRUE(waitUntil([&] { return fs::exists(folder / "zenity-runs"); })) << "the folder picker never ran";
    EXPECT_TRUE(waitForScreen(app, "the picked directory's chart", chartShown));
    EXPECT_EQ(readLines(opened).size(), 3u);
}

// The picker is waited for off the main thread: while the stand-in zenity sleeps the window goes
// on drawing frames (the frame log asks for one after another), SELECT DIRECTORY is disabled (a
// second Return starts no second picker), and the answer then leads to the chart.
TEST_F(AppE2ETest, TheWindowKeepsDrawingWhileThePickerIsOpen)
{
    writeScript("zenity", "echo ran >> '" + (folder / "zenity-runs").string() + "'\nsleep 3\ncat '"
                + (folder / "picker-answer").string() + "'\n");
    App app(folder, {}, { frameLogVariable() });
    ASSERT_TRUE(waitForScreen(app, "the start screen", [](const Screen& s) { return s.count(BUTTON) > 500; }));
    app.key("Return");
    ASSERT_TRUE(waitUntil([&] { return fs::exists(folder / "zenity-runs"); })) << "the folder picker never ran";
    const size_t before = framesLogged();
    app.key("Return");
    std::this_thread::sleep_for(1500ms);
    EXPECT_GE(framesLogged(), before + 5) << "the window stopped drawing while the picker was open";
    ASSERT_TRUE(waitForScreen(app, "the picked directory's chart", chartShown));
    EXPECT_EQ(readLines(folder / "zenity-runs").size(), 1u) << "a second picker opened while the first was open";
}

// A close (SIGTERM reaches the loop as a quit) while the picker is open ends the program at once
// with status 0, and the picker with the helper it started.
TEST_F(AppE2ETest, ClosingWithThePickerOpenEndsThePickerAndExitsCleanly)
{
    const fs::path helper = folder / "helper";
    writeScript("zenity", "sleep 60 &\necho $! > '" + helper.string() + "'\nwait\n");
    App app(folder, {});
    ASSERT_TRUE(waitForScreen(app, "the start screen", [](const Screen& s) { return s.count(BUTTON) > 500; }));
    app.key("Return");
    ASSERT_TRUE(waitUntil([&] { return !readWhole(helper).empty(); })) << "the folder picker never ran";
    const pid_t sleeper = std::atoi(readWhole(helper).c_str());
    kill(app.child, SIGTERM);
    int status = -1;
    const bool ended = waitUntil([&] { return waitpid(app.child, &status, WNOHANG) == app.child; }, 10s);
    ASSERT_TRUE(ended) << "the program hung on the open picker";
    app.child = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(waitUntil([&] { return kill(sleeper, 0) != 0; }, 5s)) << "the picker outlived the program";
}

// [SECTION] Scanning

TEST_F(AppE2ETest, ScanShowsTheOverlayWithAGrowingPreviewThenTheChart)
{
    const fs::path large = largeTree();
    App app(folder, { large.string() }, slowDisk(300));
    int first = 0;
    ASSERT_TRUE(waitForScreen(app, "the progress panel over grey preview cells", [&](const Screen& s) {
        first = previewCells(s);
        return overlayShown(s) && s.count(PREVIEW_CELL) > 2000 && first > 0 && s.count(CHART_BACKGROUND) == 0;
    }));
    // Finished top-level directories join row 1 one by one while the panel stays.
    EXPECT_TRUE(waitForScreen(app, "more preview cells in row 1 (first " + std::to_string(first) + ")",
                              [&](const Screen& s) { return overlayShown(s) && previewCells(s) > first; }));
    ASSERT_TRUE(waitForScreen(app, "the chart after the scan", chartShown, 60s));
    EXPECT_LT(screen.count(PREVIEW_CELL), 1000u) << "grey preview cells are left on the chart";
    EXPECT_EQ(chartCells(screen), 10) << "row 1 should hold the ten top-level directories";
}

// Cancelling from the first scan ends on the selection screen: one button, focused.
TEST_F(AppE2ETest, EscapeDuringAScanEndsOnTheSelectionScreen)
{
    const fs::path large = largeTree();
    App app(folder, { large.string() }, slowDisk(1500)); // a scan of 30 s or more
    ASSERT_TRUE(waitForScreen(app, "the scanning overlay", overlayShown));
    app.key("Escape");
    ASSERT_TRUE(waitForScreen(app, "the selection screen with one button", selectionShown, 20s));
    EXPECT_FALSE(fs::exists(folder / "zenity-runs"));
    app.key("Return");
    EXPECT_TRUE(waitUntil([&] { return fs::exists(folder / "zenity-runs"); })) << "SELECT DIRECTORY had no keyboard focus";
    EXPECT_TRUE(waitForScreen(app, "the picked directory's chart", chartShown));
}

TEST_F(AppE2ETest, ChangeDirectoryGoesThroughTheOverlayToTheNewChart)
{
    const fs::path large = largeTree();
    std::ofstream(folder / "picker-answer") << large.string() << "\n";
    App app(folder, { (folder / "tree").string() }, slowDisk(300));
    ASSERT_TRUE(waitForScreen(app, "the first chart", chartShown));
    EXPECT_EQ(chartCells(screen), 2) << "row 1 of the small tree: a file and a directory";
    // CHANGE DIRECTORY is the only button in the header, above the scroll bar (drawn in the
    // same grey) that sits on the window's clear colour.
    int header = screen.firstCellRow(CHART_BACKGROUND, screen.width / 2) - 1;
    while (header > 0 && !near(screen.at(screen.width / 2, header - 1), { 16, 16, 16 }))
        --header;
    const auto box = screen.bounds(BUTTON, header);
    ASSERT_LT(box[0], box[2]) << "no CHANGE DIRECTORY button";
    app.click((box[0] + box[2]) / 2, (box[1] + box[3]) / 2);
    ASSERT_TRUE(waitForScreen(app, "the scanning overlay for the picked directory", overlayShown));
    EXPECT_TRUE(fs::exists(folder / "zenity-runs"));
    ASSERT_TRUE(waitForScreen(app, "the new chart", [](const Screen& s) { return chartShown(s) && chartCells(s) == 10; }, 60s));
}

// The keyboard focus shows: CHANGE DIRECTORY, focused when the chart appears, wears a white ring
// just outside its edges; a click on the chart takes the focus and the ring, and Tab from the
// chart brings both back.
TEST_F(AppE2ETest, TheFocusedButtonWearsARing)
{
    App app(folder, { (folder / "tree").string() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    int header = screen.firstCellRow(CHART_BACKGROUND, screen.width / 2) - 1;
    while (header > 0 && !near(screen.at(screen.width / 2, header - 1), { 16, 16, 16 }))
        --header;
    const auto box = screen.bounds(BUTTON, header);
    ASSERT_LT(box[0], box[2]) << "no CHANGE DIRECTORY button";
    const int middle = (box[1] + box[3]) / 2;
    auto ringShown = [&](bool shown) {
        return [=](const Screen& s) {
            const Rgb ring = shown ? Rgb { 255, 255, 255 } : Rgb { 16, 16, 16 };
            return near(s.at(box[0] - 1, middle), ring) && near(s.at(box[2] + 1, middle), ring)
                && near(s.at((box[0] + box[2]) / 2, box[1] - 1), ring);
        };
    };
    EXPECT_TRUE(waitForScreen(app, "the ring around the focused button", ringShown(true)));
    app.click(screen.width / 2, screen.height / 2);
    EXPECT_TRUE(waitForScreen(app, "the button without its ring", ringShown(false)));
    app.key("Tab");
    EXPECT_TRUE(waitForScreen(app, "the ring back after Tab", ringShown(true)));
}

TEST_F(AppE2ETest, DirectoryOnTheCommandLineIsScannedAtOnce)
{
    App app(folder, { (folder / "tree").string() });
    EXPECT_TRUE(waitForScreen(app, "the chart without the progress panel", chartShown));
}

// Two paths: one chart whose root sums them, its details naming the summary.
TEST_F(AppE2ETest, SeveralPathsOnTheCommandLineShowOneChart)
{
    App app(folder, { (folder / "tree").string(), (folder / "tree" / "big file.bin").string() }, { frameLogVariable() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    EXPECT_TRUE(waitUntil([&] {
        for (const std::string& line : readLines(folder / "frames"))
            if (line.rfind("details 2 scans — ", 0) == 0 && line.find("(13,000,000 bytes)") != std::string::npos)
                return true;
        return false;
    })) << readWhole(folder / "frames");
}

// [SECTION] The chart

// The big file's cell in row 1: the middle column is inside it. Returns its top, bottom, left and
// right, read along a line in the part of the file's cell that hangs into row 2 (no label there).
// A cell running out of view ends in a darker band, so its extent is read up to the background.
struct Cell {
    int top = -1, bottom = -1, left = -1, right = -1;
};
Cell bigFileCell(const Screen& s)
{
    Cell cell;
    const int x = s.width / 2;
    cell.top = s.firstCellRow(CHART_BACKGROUND, x);
    if (cell.top < 0)
        return cell;
    cell.bottom = cell.top;
    while (cell.bottom + 1 < s.height && near(s.at(x, cell.bottom + 1), s.at(x, cell.top), 12))
        ++cell.bottom;
    std::tie(cell.left, cell.right) = s.runAround(x, cell.bottom - 3, CHART_BACKGROUND);
    return cell;
}

// Zooming keeps the byte under the pointer in place: with the pointer `inside` pixels within the
// cell's edge, the edge ends up inside × e^(0.1875 × notches) from the pointer.
TEST_F(AppE2ETest, WheelZoomsAboutThePointerAndDragPans)
{
    writeSettings("mouseDragInertia=0\n"); // a release never starts inertia: the drag's end is exact
    App app(folder, { (folder / "tree").string() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const Cell before = bigFileCell(screen);
    ASSERT_GT(before.right - before.left, screen.width / 2) << "the big file's cell was not found";
    // The edge of the cell that lies inside the window, and the pointer 40 pixels within it.
    const bool leftEdge = before.left > 10;
    const int edge = leftEdge ? before.left : before.right, inside = 40;
    const int anchor = leftEdge ? edge + inside : edge - inside;
    const int y = (before.top + before.bottom) / 2;
    app.click(anchor, y, 4, 3); // three notches away from the user: zoom in
    const int zoomed = int(std::lround(inside * std::exp(0.1875 * 3)));
    const int zoomedEdge = leftEdge ? anchor - zoomed : anchor + zoomed;
    ASSERT_TRUE(waitForScreen(app, "the cell's edge " + std::to_string(zoomed) + " px from the pointer", [&](const Screen& s) {
        const Cell now = bigFileCell(s);
        return std::abs((leftEdge ? now.left : now.right) - zoomedEdge) <= 3 && now.right - now.left > before.right - before.left;
    }));

    // Let the smooth zoom finish: the same edge in two captures in a row.
    auto innerEdge = [&](const Screen& s) {
        const Cell now = bigFileCell(s);
        return leftEdge ? now.left : now.right;
    };
    int settled = -1;
    ASSERT_TRUE(waitForScreen(app, "the zoom at rest", [&](const Screen& s) {
        const int previous = std::exchange(settled, innerEdge(s));
        return previous == settled;
    }));

    // A drag to the right moves the content right by the same distance, as far as the bytes
    // hidden on the left allow (the zoom put anchor × (e^0.5625 − 1) pixels of them out of view).
    const int hidden = int(anchor * (std::exp(0.1875 * 3) - 1));
    const int distance = std::min({ 150, hidden - 10, screen.width - 30 - settled });
    ASSERT_GE(distance, 60);
    app.pointTo(anchor, y);
    app.xdotool("mousedown 1");
    for (int step = 1; step <= 10; ++step)
        app.pointTo(anchor + distance * step / 10, y);
    app.xdotool("mouseup 1");
    EXPECT_TRUE(waitForScreen(app, "the cell's edge moved right by " + std::to_string(distance) + " px",
                              [&](const Screen& s) { return std::abs(innerEdge(s) - (settled + distance)) <= 2; }));
}

// The details bar names the focused folder until the pointer rests on a cell, then that cell (as
// the frame log's "details" lines tell), and the window's title names the scanned folder.
TEST_F(AppE2ETest, HoveringACellShowsItsDetailsAndTheTitleNamesTheScan)
{
    App app(folder, { (folder / "tree").string() }, { frameLogVariable() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const auto logged = [&](const std::string& line) {
        const std::vector<std::string> lines = readLines(folder / "frames");
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    const std::string root = (folder / "tree").string();
    const std::string focusLine = "details " + root + " — 6.676 MB (7,000,000 bytes) — 3 files, 1 folder";
    EXPECT_TRUE(waitUntil([&] { return logged(focusLine); })) << readWhole(folder / "frames");
    std::string title;
    EXPECT_TRUE(waitUntil([&] { return (title = run("xdotool getwindowname " + app.window)) == "tree — Velbrin Preview"; }))
        << title;

    const Cell cell = bigFileCell(screen);
    ASSERT_GT(cell.right - cell.left, screen.width / 2) << "the big file's cell was not found";
    app.pointTo(screen.width / 2, (cell.top + cell.bottom) / 2);
    const std::string fileLine = "details " + root + "/big file.bin — 5.722 MB (6,000,000 bytes) — 85.7 % of parent, 85.7 % of total";
    EXPECT_TRUE(waitUntil([&] { return logged(fileLine); })) << readWhole(folder / "frames");
}

// F6 re-reads config.ini: the same notch zooms by e^(0.1875 × 4) instead of e^0.1875.
TEST_F(AppE2ETest, F6AppliesAChangedScrollSpeed)
{
    writeSettings("smoothScrolling=0\nscrollSpeedMultiplier=1\n");
    App app(folder, { (folder / "tree").string() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const Cell before = bigFileCell(screen);
    ASSERT_GT(before.right - before.left, screen.width / 2) << "the big file's cell was not found";
    const bool leftEdge = before.left > 10;
    const int inside = 40, anchor = leftEdge ? before.left + inside : before.right - inside;
    const int y = (before.top + before.bottom) / 2;
    auto edgeAt = [&](double distance) {
        const int target = int(std::lround(leftEdge ? anchor - distance : anchor + distance));
        return [=](const Screen& s) {
            const Cell now = bigFileCell(s);
            return std::abs((leftEdge ? now.left : now.right) - target) <= 3;
        };
    };
    app.click(anchor, y, 4);
    ASSERT_TRUE(waitForScreen(app, "one notch at multiplier 1", edgeAt(inside * std::exp(0.1875))));
    app.click(anchor, y, 5); // back to the whole tree
    ASSERT_TRUE(waitForScreen(app, "the whole tree again", edgeAt(inside)));

    writeSettings("scrollSpeedMultiplier=4\n");
    app.key("F6");
    app.click(anchor, y, 4);
    EXPECT_TRUE(waitForScreen(app, "one notch at multiplier 4", edgeAt(inside * std::exp(0.1875 * 4))));
}

// F6 applies a changed interface scale at once, not at the next resize: the header grows, so the
// chart's first row moves down.
TEST_F(AppE2ETest, F6AppliesAChangedInterfaceScale)
{
    writeSettings("uiScaleMultiplier=1\n");
    App app(folder, { (folder / "tree").string() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const Cell before = bigFileCell(screen);
    ASSERT_GT(before.right - before.left, screen.width / 2) << "the big file's cell was not found";
    writeSettings("uiScaleMultiplier=2\n");
    app.key("F6");
    EXPECT_TRUE(waitForScreen(app, "the header at twice the scale", [&](const Screen& s) {
        const Cell now = bigFileCell(s);
        return now.right - now.left > s.width / 2 && now.top > before.top + 20;
    }));
}

// A double click on a file reveals it: through FileManager1.ShowItems when a file manager owns
// that name on the session bus, else by opening its parent folder.
TEST_F(AppE2ETest, DoubleClickOnAFileRevealsIt)
{
    const PrivateSessionBus bus(folder);
    if (bus.address.empty())
        GTEST_SKIP() << "dbus-daemon is not available";
    App app(folder, { (folder / "tree").string() }, { "DBUS_SESSION_BUS_ADDRESS=" + bus.address });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const Cell cell = bigFileCell(screen);
    ASSERT_GT(cell.right - cell.left, screen.width / 2) << "the big file's cell was not found";
    const int x = screen.width / 2, y = (cell.top + cell.bottom) / 2;

    // No file manager on the bus: xdg-open gets the parent folder.
    app.click(x, y, 1, 2);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(folder / "opened"); })) << "neither reveal nor its fallback ran";
    EXPECT_EQ(readLines(folder / "opened"), std::vector<std::string> { (folder / "tree").string() });

    const fs::path record = folder / "shown";
    pid_t fileManager = 0;
    const std::string recordArgument = record.string();
    const char* argv[] = { VELBRIN_FILE_MANAGER, recordArgument.c_str(), nullptr };
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.address.c_str(), 1);
    ASSERT_EQ(posix_spawn(&fileManager, VELBRIN_FILE_MANAGER, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    const bool ready = waitUntil([&] { return fs::exists(record.string() + ".ready"); });
    if (ready) {
        // Far enough from the first pair in time that the clicks do not join its sequence.
        std::this_thread::sleep_for(1s);
        app.click(x, y, 1, 2);
        waitUntil([&] { return fs::exists(record); });
    }
    kill(fileManager, SIGTERM);
    waitpid(fileManager, nullptr, 0);
    ASSERT_TRUE(ready) << "the stand-in file manager never owned its name";
    EXPECT_EQ(readLines(record), std::vector<std::string> { "file://" + (folder / "tree").string() + "/big%20file.bin" });
    EXPECT_EQ(readLines(folder / "opened").size(), 1u) << "the parent folder was opened although the file manager answered";
}

// A right click on the big file opens the chart's menu with the file selected; its third item,
// Copy path, puts the file's path on the clipboard, read back with xclip while the program runs.
TEST_F(AppE2ETest, ContextMenuCopyPathPutsThePathOnTheClipboard)
{
    if (std::system("command -v xclip >/dev/null") != 0)
        GTEST_SKIP() << "xclip is needed to read the clipboard";
    App app(folder, { (folder / "tree").string() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const Cell cell = bigFileCell(screen);
    ASSERT_GT(cell.right - cell.left, screen.width / 2) << "the big file's cell was not found";
    app.click(screen.width / 2, (cell.top + cell.bottom) / 2, 3);
    app.key("Down Down Return"); // Open, Show in file manager, Copy path
    const std::string expected = (folder / "tree" / "big file.bin").string();
    std::string copied;
    EXPECT_TRUE(waitUntil([&] {
        copied = run("timeout 5 xclip -o -selection clipboard 2>/dev/null");
        return copied == expected;
    }, 10s)) << "the clipboard holds '" << copied << "'";
}

// Row 1 holds the big file and docs, two cells with a gap between them. A click selects docs and
// Enter goes into it: docs alone then spans the top row, one run of its colour across the window.
TEST_F(AppE2ETest, EnterOnASelectedFolderFillsTheTopRowWithItsColour)
{
    App app(folder, { (folder / "tree").string() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const Cell big = bigFileCell(screen);
    ASSERT_GT(big.right - big.left, screen.width / 2) << "the big file's cell was not found";
    const int line = big.top + 10; // above the labels, which start lower in a row
    ASSERT_EQ(screen.cellsOnLine(line, CHART_BACKGROUND), 2) << "row 1 is not the big file and docs";
    // docs lies on the side the big file leaves free; its colour is read near its far edge, away
    // from its left-aligned label.
    const bool docsRight = big.left < 10;
    const int docsX = docsRight ? screen.width - 6 : big.left - 6;
    const Rgb docs = screen.at(docsX, line);
    app.click(docsX, big.top + 20);
    app.key("Return");
    EXPECT_TRUE(waitForScreen(app, "docs across the top row", [&](const Screen& s) {
        if (s.cellsOnLine(line, CHART_BACKGROUND) != 1)
            return false;
        const auto [left, right] = s.runAround(s.width / 2, line, CHART_BACKGROUND);
        return left <= 3 && right >= s.width - 4 && near(s.at(s.width / 4, line), docs, 12)
            && near(s.at(s.width / 2, line), docs, 12) && near(s.at(3 * s.width / 4, line), docs, 12);
    }));
}

// [SECTION] Acting on the tree: refresh and the trash

// The trash of a private home in the test's folder (the same file system as the tree, so the home
// trash takes it); Delete on a selected cell asks first, and Enter alone answers Cancel.
TEST_F(AppE2ETest, DeleteAsksThenTabEnterMovesTheFileToTheTrash)
{
    const fs::path data = folder / "data";
    fs::create_directories(folder / "home");
    App app(folder, { (folder / "tree").string() },
            { frameLogVariable(), "HOME=" + (folder / "home").string(), "XDG_DATA_HOME=" + data.string() });
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    const Cell cell = bigFileCell(screen);
    ASSERT_GT(cell.right - cell.left, screen.width / 2) << "the big file's cell was not found";
    const fs::path big = folder / "tree" / "big file.bin";
    const std::string root = (folder / "tree").string();
    const auto logged = [&](const std::string& line) {
        const std::vector<std::string> lines = readLines(folder / "frames");
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };

    app.click(screen.width / 2, (cell.top + cell.bottom) / 2);
    app.key("Delete");
    EXPECT_TRUE(waitForScreen(app, "the question over the chart", [&](const Screen& s) { return s.count(PANEL_FRAME) > 500; }));
    app.key("Return"); // Cancel has the focus
    EXPECT_TRUE(waitForScreen(app, "the chart without the question", [&](const Screen& s) { return s.count(PANEL_FRAME) == 0; }));
    EXPECT_TRUE(fs::exists(big));
    EXPECT_FALSE(fs::exists(data / "Trash"));

    app.key("Delete");
    EXPECT_TRUE(waitForScreen(app, "the question again", [&](const Screen& s) { return s.count(PANEL_FRAME) > 500; }));
    app.key("Tab Return");
    const std::string moved = "details Moved " + big.string()
        + " to the trash: 5.722 MB (6,000,000 bytes). Freed since Velbrin started: 5.722 MB.";
    EXPECT_TRUE(waitUntil([&] { return logged(moved); })) << readWhole(folder / "frames");
    EXPECT_FALSE(fs::exists(big));
    EXPECT_EQ(fs::file_size(data / "Trash/files/big file.bin"), 6000000u);
    EXPECT_NE(readWhole(data / "Trash/info/big file.bin.trashinfo").find("Path=" + root + "/big%20file.bin"), std::string::npos);
    // Row 1 is docs alone now, across the whole width.
    EXPECT_TRUE(waitForScreen(app, "docs alone in row 1", [&](const Screen& s) {
        const int top = s.firstCellRow(CHART_BACKGROUND, s.width / 2);
        return top >= 0 && s.cellsOnLine(top + 3, CHART_BACKGROUND) == 1;
    }));
}

// F5 scans the focused folder again: a file added since shows in the total; Escape during a slow
// refresh keeps the earlier scan.
TEST_F(AppE2ETest, F5RefreshesTheTotalAndEscapeCancelsARefresh)
{
    // 400 entries at 5 ms each: a refresh of the whole tree takes about 2 s.
    for (int i = 0; i < 400; ++i) {
        std::ofstream(folder / "tree/docs" / ("n" + std::to_string(i))).close();
    }
    App app(folder, { (folder / "tree").string() }, [&] {
        std::vector<std::string> environment = slowDisk(5000);
        environment.push_back(frameLogVariable());
        return environment;
    }());
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown, 60s));
    const std::string root = (folder / "tree").string();
    const auto logged = [&](const std::string& line) {
        const std::vector<std::string> lines = readLines(folder / "frames");
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    const Cell cell = bigFileCell(screen);
    ASSERT_GT(cell.right - cell.left, screen.width / 2) << "the big file's cell was not found";
    std::ofstream(folder / "tree/added.bin").close();
    fs::resize_file(folder / "tree/added.bin", 300000);

    const auto refreshShown = [&] {
        const std::string text = readWhole(folder / "frames");
        return text.find("details Refreshing " + root) != std::string::npos;
    };
    app.key("F5");
    EXPECT_TRUE(waitUntil(refreshShown)) << readWhole(folder / "frames");
    app.key("Escape");
    EXPECT_TRUE(waitUntil([&] { return logged("details Refresh of " + root + " cancelled: the chart still shows the earlier scan."); }))
        << readWhole(folder / "frames");
    // The earlier scan, whole: the focused folder's line once the pointer has been over a cell and left.
    const std::string before = "details " + root + " \u2014 6.676 MB (7,000,000 bytes) \u2014 403 files, 1 folder";
    const std::vector<std::string> linesBefore = readLines(folder / "frames");
    const size_t shownBefore = size_t(std::count(linesBefore.begin(), linesBefore.end(), before));
    app.pointTo(screen.width / 2, (cell.top + cell.bottom) / 2);
    app.pointTo(screen.width / 2, 5);
    EXPECT_TRUE(waitUntil([&] {
        const std::vector<std::string> lines = readLines(folder / "frames");
        return size_t(std::count(lines.begin(), lines.end(), before)) > shownBefore;
    })) << readWhole(folder / "frames");

    app.key("F5");
    EXPECT_TRUE(waitUntil([&] { return logged("details Refreshed " + root + ": 6.962 MB, was 6.676 MB."); }, 60s))
        << readWhole(folder / "frames");
    // The focused folder's line, once the pointer has been over a cell (the big file keeps its
    // row and most of the width) and left the chart.
    app.pointTo(screen.width / 2, (cell.top + cell.bottom) / 2);
    EXPECT_TRUE(waitUntil([&] { return readWhole(folder / "frames").find("big file.bin \u2014") != std::string::npos; }));
    app.pointTo(screen.width / 2, 5);
    EXPECT_TRUE(waitUntil([&] { return logged("details " + root + " \u2014 6.962 MB (7,300,000 bytes) \u2014 404 files, 1 folder"); }))
        << readWhole(folder / "frames");
}

// A hostile session on one run, which must end with status 0 (on the ASan build: no leak, also
// none per chart build): a folder swapped for a link to a file of the same name and size outside
// the tree, a Delete while a refresh runs, and a refreshed folder deleted behind the program's
// back. Nothing outside the tree moves; each refusal says why, and the next action clears it.
TEST_F(AppE2ETest, SwappedLinksAndDeletedFoldersAreRefusedOrTakenOutAndTheProgramExitsCleanly)
{
    const fs::path data = folder / "data", tree = folder / "tree";
    fs::create_directories(folder / "home");
    fs::create_directories(folder / "outside");
    fs::create_directories(tree / "old");
    std::ofstream(tree / "old/x.bin").close();
    fs::resize_file(tree / "old/x.bin", 200000);
    std::ofstream(folder / "outside/a.txt") << "outside";
    fs::resize_file(folder / "outside/a.txt", 600000); // docs/a.txt's name and size
    // 300 entries at 5 ms each: a refresh of the whole tree lasts long enough to press Delete.
    fs::create_directories(tree / "many");
    for (int i = 0; i < 300; ++i)
        std::ofstream(tree / "many" / ("n" + std::to_string(i))).close();
    App app(folder, { tree.string() }, [&] {
        std::vector<std::string> environment = slowDisk(5000);
        environment.insert(environment.end(), { frameLogVariable(), "HOME=" + (folder / "home").string(), "XDG_DATA_HOME=" + data.string() });
        return environment;
    }());
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown, 60s));
    const std::string root = tree.string();
    const auto logText = [&] { return readWhole(folder / "frames"); };
    const auto loggedAfter = [&](size_t from, const std::string& line) { return logText().find("\n" + line, from) != std::string::npos; };
    // Arrows from the big file's cell until the bar names `path` (siblings are in size order).
    const auto selectWith = [&](const std::string& key, const std::string& path) {
        for (int tries = 0; tries < 4; ++tries) {
            const size_t from = logText().size();
            app.key(key);
            if (waitUntil([&] { return loggedAfter(from - 1, "details " + path + " \u2014"); }, 3s))
                return true;
        }
        return false;
    };
    // A click on the big file's cell selects it; the bar then follows the selection, not the pointer.
    const auto selectBigFile = [&] {
        const Cell cell = bigFileCell(screen);
        app.click(screen.width / 2, (cell.top + cell.bottom) / 2);
        app.pointTo(screen.width / 2, 5);
        return waitUntil([&] { return logText().rfind("details " + root + "/big file.bin \u2014") != std::string::npos; });
    };
    ASSERT_TRUE(selectBigFile()) << logText();

    // docs swapped for a link to a folder with a file of the same name and size: refused, named.
    fs::rename(tree / "docs", folder / "docs.old");
    fs::create_directory_symlink(folder / "outside", tree / "docs");
    ASSERT_TRUE(selectWith("Right", root + "/docs")) << logText();
    ASSERT_TRUE(selectWith("Down", root + "/docs/a.txt")) << logText();
    app.key("Delete");
    ASSERT_TRUE(waitForScreen(app, "the question", [&](const Screen& s) { return s.count(PANEL_FRAME) > 500; }));
    app.key("Tab Return");
    const std::string refused = root + "/docs/a.txt changed since the scan (its folder " + root
        + "/docs is now a symbolic link): nothing was moved. Press F5 to scan its folder again.";
    EXPECT_TRUE(waitUntil([&] { return statusLogged(refused); })) << logText();
    EXPECT_EQ(fs::file_size(folder / "outside/a.txt"), 600000u);
    EXPECT_FALSE(fs::exists(data / "Trash/files"));

    // F5 on the selected folder, which is no longer that folder: taken out; the red line goes.
    size_t from = logText().size();
    app.key("F5");
    EXPECT_TRUE(waitUntil([&] {
        return loggedAfter(from, "details " + root + "/docs is no longer the folder the scan saw (it is now a symbolic link): it was taken out of the chart");
    }, 30s)) << logText();
    EXPECT_TRUE(loggedAfter(from, "status \n")) << logText();

    // Delete while the whole tree is scanned again (F5 on a file: its folder): the status line
    // says why nothing happens.
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    ASSERT_TRUE(selectBigFile()) << logText();
    app.key("F5 Delete");
    EXPECT_TRUE(waitUntil([&] { return logText().find("status Nothing can be moved to the trash now: ") != std::string::npos; }))
        << logText();
    EXPECT_TRUE(waitUntil([&] { return logText().find("details Refreshed " + root + ":") != std::string::npos; }, 60s)) << logText();

    // A folder deleted behind the program's back, refreshed: taken out, its ancestors summed again.
    fs::remove_all(tree / "old");
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    ASSERT_TRUE(selectBigFile()) << logText();
    ASSERT_TRUE(selectWith("Right", root + "/old")) << logText();
    from = logText().size();
    app.key("F5");
    EXPECT_TRUE(waitUntil([&] { return loggedAfter(from, "details " + root + "/old no longer exists: it was taken out of the chart ("); }, 30s))
        << logText();

    // A plain move still works, and the program ends cleanly.
    ASSERT_TRUE(waitForScreen(app, "the chart", chartShown));
    ASSERT_TRUE(selectBigFile()) << logText();
    app.key("Delete");
    ASSERT_TRUE(waitForScreen(app, "the question", [&](const Screen& s) { return s.count(PANEL_FRAME) > 500; }));
    app.key("Tab Return");
    EXPECT_TRUE(waitUntil([&] { return logText().find("details Moved " + root + "/big file.bin to the trash") != std::string::npos; }))
        << logText();
    EXPECT_EQ(fs::file_size(data / "Trash/files/big file.bin"), 6000000u);
    kill(app.child, SIGTERM);
    int status = -1;
    ASSERT_TRUE(waitUntil([&] { return waitpid(app.child, &status, WNOHANG) == app.child; }, 20s)) << "the program did not end";
    app.child = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// [SECTION] Stored scans

// Another machine's scan (an export as ncdu writes it): its chart shows, with the same big-file
// cell, but a double click on a path that does not exist here opens nothing.
TEST_F(AppE2ETest, StoredScanShowsItsChartAndLeavesPathsOfOtherMachinesAlone)
{
    std::ofstream(folder / "server.json")
        << R"([1,2,{"progname":"ncdu","progver":"1.18","timestamp":1700000000},)" "\n"
        << R"([{"name":"/velbrin-e2e/no/such/server","asize":4096},{"name":"big file.bin","asize":9000000},)"
        << R"([{"name":"logs"},{"name":"a.log","asize":600000},{"name":"b.log","asize":400000}]]])";
    App app(folder, { (folder / "server.json").string() }, { frameLogVariable() });
    ASSERT_TRUE(waitForScreen(app, "the stored scan's chart", chartShown));
    const Cell cell = bigFileCell(screen);
    ASSERT_GT(cell.right - cell.left, screen.width / 2) << "the big file's cell was not found";
    app.click(screen.width / 2, (cell.top + cell.bottom) / 2, 1, 2);
    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(fs::exists(folder / "opened")) << "a path of another machine was handed to the desktop";
    // Neither scanned again nor offered for the trash: its paths are another machine's.
    const auto logged = [&](const std::string& line) {
        return waitUntil([&] { return readWhole(folder / "frames").find("details " + line + "\n") != std::string::npos; });
    };
    app.key("F5");
    EXPECT_TRUE(logged("/velbrin-e2e/no/such/server is not a folder on this machine: it cannot be scanned again."))
        << readWhole(folder / "frames");
    app.key("Delete");
    EXPECT_TRUE(logged("Items of a stored scan cannot be moved to the trash.")) << readWhole(folder / "frames");
    EXPECT_TRUE(waitForScreen(app, "no question over the chart", [](const Screen& s) { return s.count(PANEL_FRAME) == 0; }));
}

// A stored scan's title names its scanned folder, and the details line of its focus says what the
// scan could not read (a stored scan tells no reason).
TEST_F(AppE2ETest, StoredScanNamesItsFolderInTheTitleAndWhatCouldNotBeRead)
{
    std::ofstream(folder / "archive.json")
        << R"([1,2,{"progname":"ncdu","progver":"1.18"},)" "\n"
        << R"([{"name":"/velbrin-e2e/elsewhere/archive"},{"name":"big file.bin","asize":9000000},)"
        << R"([{"name":"logs"},{"name":"a.log","asize":1000000}],[{"name":"locked","read_error":true}]]])";
    App app(folder, { (folder / "archive.json").string() }, { frameLogVariable() });
    ASSERT_TRUE(waitForScreen(app, "the stored scan's chart", chartShown));
    std::string title;
    EXPECT_TRUE(waitUntil([&] { return (title = run("xdotool getwindowname " + app.window)) == "archive — Velbrin Preview"; }))
        << title;
    const std::string focusLine = "details /velbrin-e2e/elsewhere/archive — 9.537 MB (10,000,000 bytes) — 2 files, 2 folders"
                                  " — 1 folder could not be read (first: /velbrin-e2e/elsewhere/archive/locked)";
    EXPECT_TRUE(waitUntil([&] {
        const std::vector<std::string> lines = readLines(folder / "frames");
        return std::find(lines.begin(), lines.end(), focusLine) != lines.end();
    })) << readWhole(folder / "frames");
}

// A broken stored scan: a message box naming the file and where it breaks, and the selection
// screen instead of a chart. SDL draws the box itself, or runs zenity (here the stand-in, which records its
// arguments), or, when neither works, writes the text to stderr.
TEST_F(AppE2ETest, BrokenStoredScanSaysWhereAndShowsNoChart)
{
    const fs::path broken = folder / "broken.json", errors = folder / "errors.txt", boxText = folder / "zenity-args";
    std::ofstream(broken) << R"([1,2,{"progname":"ncdu"},[{"name":"/srv"},{"name":"a","asize":5})";
    writeScript("zenity", "printf '%s\\n' \"$@\" >> '" + boxText.string() + "'\n");
    App app(folder, { broken.string() }, {}, errors);
    ASSERT_FALSE(app.window.empty());
    const std::string expected = "Cannot open " + broken.string() + ": at byte 64: the data ends early";
    std::string box;
    const bool told = waitUntil([&] {
        box = run("xdotool search --onlyvisible --name '^Velbrin$' 2>/dev/null | head -n 1");
        return !box.empty() || readWhole(errors).find(expected) != std::string::npos
            || readWhole(boxText).find(expected) != std::string::npos;
    });
    ASSERT_TRUE(told) << "the reason was never shown; stderr: " << readWhole(errors) << "; zenity: " << readWhole(boxText);
    if (!box.empty())
        app.xdotool("windowfocus --sync " + box + " key Return");
    app.pointTo(4, 4); // off the button, which would show its hover colour
    EXPECT_TRUE(waitForScreen(app, "the selection screen", selectionShown));
}

// [SECTION] Failures and the command line

// Where the box cannot open (no box program under a bare X server) its text reaches stderr.
TEST_F(AppE2ETest, WithoutOpenGl33TheFatalBoxEndsTheProgram)
{
    const std::string errors = (folder / "errors.txt").string();
    const int status = std::system(("MESA_GL_VERSION_OVERRIDE=2.1 timeout 60 '" + PROGRAM + "' 2>'" + errors + "'").c_str());
    const std::string text = readWhole(errors);
    if (text.find("Fatal initialization error") == std::string::npos) {
        // A box did open: answer it.
        const std::string box = run("timeout 5 xdotool search --sync --onlyvisible --name '^Fatal initialization error$' | head -n 1");
        if (!box.empty())
            run("xdotool windowfocus " + box + " key Return");
    }
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

// Every failure is written in the window, whether or not a message box can open: PATH holds only
// the test's stand-ins, so no box program either. The frame log names the exact status text, the
// capture shows its glyphs; a box that did open is answered first.
struct FailureRow {
    const char* name;
    const char* argument;  // in the test's folder; empty: none, SELECT DIRECTORY is pressed instead
    const char* picked;    // what the stand-in zenity answers; null: no zenity at all
    const char* expected;  // the status text, "$" standing for the test's folder
    const char* second = ""; // a second argument after `argument`, in the test's folder
};

const FailureRow failureRows[] = {
    { "MissingPathOnTheCommandLine", "missing", "", "Cannot open $/missing: No such file or directory" },
    { "FifoOnTheCommandLine", "fifo", "", "Cannot open $/fifo: it is neither a directory nor a file" },
    { "BrokenStoredScan", "broken.json", "", "Cannot open $/broken.json: at byte 64: the data ends early (the file is truncated)" },
    { "MissingSecondPath", "tree", "", "Cannot open $/missing: No such file or directory", "missing" },
    { "BrokenSecondStoredScan", "tree", "",
      "Cannot open $/broken.json: at byte 64: the data ends early (the file is truncated)", "broken.json" },
    // Not a failure, but said on the same line: the chart counts the folder once.
    { "SameFolderTwice", "tree", "", "Left out, as already counted: $/tree (given twice)", "tree" },
    { "NoFolderPicker", "", nullptr,
      "No folder picker found: install zenity or kdialog (or a desktop portal with a file chooser)." },
    { "PickedFifo", "", "fifo", "Cannot open $/fifo: it is neither a directory nor a file" },
    { "PickedPathMissing", "", "gone", "Cannot open $/gone: No such file or directory" },
};

void PrintTo(const FailureRow& row, std::ostream* out) { *out << row.name; }

class AppFailureTest : public AppE2ETest, public testing::WithParamInterface<FailureRow> { };

TEST_P(AppFailureTest, TheStatusLineSaysWhatFailed)
{
    const FailureRow& row = GetParam();
    auto inFolder = [&](std::string text) {
        for (size_t at; (at = text.find('$')) != std::string::npos;)
            text.replace(at, 1, folder.string());
        return text;
    };
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::ofstream(folder / "broken.json") << R"([1,2,{"progname":"ncdu"},[{"name":"/srv"},{"name":"a","asize":5})";
    fs::remove(folder / "bin/zenity");
    if (row.picked)
        writeScript("zenity", "printf '%s\\n' '" + (folder / row.picked).string() + "'\n");
    std::vector<std::string> arguments;
    if (*row.argument)
        arguments.push_back((folder / row.argument).string());
    if (*row.second)
        arguments.push_back((folder / row.second).string());
    App app(folder, arguments, { frameLogVariable(), "PATH=" + (folder / "bin").string() });
    ASSERT_FALSE(app.window.empty());
    if (arguments.empty()) {
        ASSERT_TRUE(waitForScreen(app, "the start screen", [](const Screen& s) { return s.count(BUTTON) > 500; }));
        app.key("Return");
    }
    const std::string expected = inFolder(row.expected);
    std::string box;
    ASSERT_TRUE(waitUntil([&] {
        box = run("xdotool search --onlyvisible --name '^Velbrin$' 2>/dev/null | head -n 1");
        return statusLogged(expected);
    })) << "no frame showed the status " << expected << "; log:\n" << readWhole(folder / "frames");
    if (!box.empty() || waitUntil([&] {
            box = run("xdotool search --onlyvisible --name '^Velbrin$' 2>/dev/null | head -n 1");
            return !box.empty();
        }, 1s))
        app.xdotool("windowfocus --sync " + box + " key Return");
    EXPECT_TRUE(waitForScreen(app, "the status line's text", [](const Screen& s) { return s.count(FAILURE_TEXT) > 60; }));
}

INSTANTIATE_TEST_SUITE_P(Rows, AppFailureTest, testing::ValuesIn(failureRows),
    [](const testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

TEST(AppCommandLine, HelpVersionAndBadArguments)
{
    EXPECT_EQ(std::system(("'" + PROGRAM + "' --help >/dev/null").c_str()), 0);
    EXPECT_NE(run("'" + PROGRAM + "' --version").find("velbrin "), std::string::npos);
    const int status = std::system(("'" + PROGRAM + "' --bogus 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const int twice = std::system(("'" + PROGRAM + "' - - </dev/null 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(twice), 2) << "standard input can be read once";
}
