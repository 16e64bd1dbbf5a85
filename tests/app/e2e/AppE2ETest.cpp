// The program as a user runs it, under a virtual X server: the start screen, SELECT DIRECTORY with
// a stand-in folder picker first on PATH, `velbrin DIR` going straight to the chart, Escape during
// a scan, and a device without OpenGL 3.3 ending with the fatal box and status 1. The screen is
// read with xwd and probed for the colours of the screens.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string PROGRAM = VELBRIN_PROGRAM;

std::string run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

struct Rgb {
    int r, g, b;
};

// The root window as xwd writes it (3 or 4 bytes per pixel, either byte order).
struct Screen {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;

    bool capture()
    {
        const std::string raw = run("xwd -root -silent | od -An -v -tx1 | tr -d ' \\n'");
        if (raw.size() < 200)
            return false;
        std::vector<uint8_t> bytes(raw.size() / 2);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(std::stoi(raw.substr(2 * i, 2), nullptr, 16));
        auto field = [&](int k) {
            const uint8_t* p = &bytes[size_t(k) * 4];
            return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        };
        const uint32_t headerSize = field(0), byteOrder = field(7), bytesPerLine = field(12), colours = field(19);
        const size_t pixelBytes = field(11) / 8;
        width = int(field(4)), height = int(field(5));
        const size_t offset = headerSize + colours * 12;
        if ((pixelBytes != 3 && pixelBytes != 4) || bytes.size() < offset + size_t(height) * bytesPerLine)
            return false;
        pixels.resize(size_t(width) * size_t(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = &bytes[offset + size_t(y) * bytesPerLine + size_t(x) * pixelBytes];
                const size_t o = pixelBytes - 3; // a leading pad byte in big-endian 32-bit pixels
                pixels[size_t(y) * size_t(width) + size_t(x)] =
                    byteOrder == 0 ? Rgb { p[2], p[1], p[0] } : Rgb { p[o], p[o + 1], p[o + 2] };
            }
        return true;
    }
    // How many pixels are within 6 levels of `colour`.
    size_t count(Rgb colour) const
    {
        size_t n = 0;
        for (const Rgb& p : pixels)
            n += std::abs(p.r - colour.r) <= 6 && std::abs(p.g - colour.g) <= 6 && std::abs(p.b - colour.b) <= 6;
        return n;
    }
};

constexpr Rgb CHART_BACKGROUND { 32, 0, 32 };  // behind the chart and the preview
constexpr Rgb BUTTON { 80, 80, 80 };           // a StyledButton at rest
constexpr Rgb PANEL_FRAME { 191, 159, 191 };   // the progress panel's frame

class App {
public:
    App(const std::vector<std::string>& arguments, const std::string& path = "", const std::string& environment = "")
    {
        child = fork();
        if (child == 0) {
            if (!path.empty())
                setenv("PATH", (path + ":" + std::getenv("PATH")).c_str(), 1);
            if (!environment.empty())
                putenv(strdup(environment.c_str()));
            std::vector<char*> argv { const_cast<char*>(PROGRAM.c_str()) };
            for (const std::string& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(PROGRAM.c_str(), argv.data());
            _exit(127);
        }
    }
    ~App()
    {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
    }
    // The exit status once the program ends within `timeout`, else -1.
    int waitExit(std::chrono::seconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                child = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }
    pid_t child = -1;
};

std::string findWindow(const std::string& title, int seconds = 20)
{
    return run("timeout " + std::to_string(seconds) + " xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n 1");
}

bool waitForScreen(const std::function<bool(const Screen&)>& seen, std::chrono::seconds timeout = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        Screen screen;
        if (screen.capture() && seen(screen))
            return true;
        std::this_thread::sleep_for(250ms);
    }
    return false;
}

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
        fs::create_directories(folder / "tree/photos");
        fs::create_directories(folder / "tree/src");
        for (auto [name, size] : { std::pair { "tree/big.bin", 4000000 }, { "tree/photos/a.jpg", 2000000 },
                                   { "tree/src/main.cpp", 1000000 }, { "tree/notes.txt", 500000 } }) {
            std::ofstream(folder / name).close();
            fs::resize_file(folder / name, uintmax_t(size));
        }
        // Private settings and a stand-in folder picker that answers with the tree.
        fs::create_directories(folder / "bin");
        std::ofstream(folder / "bin/zenity") << "#!/bin/sh\nprintf '%s\\n' '" << (folder / "tree").string() << "'\n";
        fs::permissions(folder / "bin/zenity", fs::perms::owner_all);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    }
    void TearDown() override
    {
        if (!folder.empty())
            fs::remove_all(folder);
    }
    fs::path folder;
};

} // namespace

TEST_F(AppE2ETest, SelectDirectoryLeadsToTheChart)
{
    App app({}, (folder / "bin").string());
    const std::string id = findWindow("Velbrin Preview");
    ASSERT_FALSE(id.empty()) << "the window never appeared";
    run("xdotool windowraise " + id + " windowfocus " + id);
    ASSERT_TRUE(waitForScreen([](const Screen& s) { return s.count(BUTTON) > 500 && s.count(CHART_BACKGROUND) == 0; }))
        << "no start screen with its buttons";
    // The keyboard focus starts on SELECT DIRECTORY.
    run("xdotool key --delay 60 Return");
    EXPECT_TRUE(waitForScreen([](const Screen& s) { return s.count(CHART_BACKGROUND) > 20000; }))
        << "the picked directory's chart never showed";
}

TEST_F(AppE2ETest, DirectoryOnTheCommandLineIsScannedAtOnce)
{
    App app({ (folder / "tree").string() });
    ASSERT_FALSE(findWindow("Velbrin Preview").empty());
    EXPECT_TRUE(waitForScreen([](const Screen& s) { return s.count(CHART_BACKGROUND) > 20000 && s.count(PANEL_FRAME) == 0; }))
        << "no chart without the progress panel";
}

// Where the box cannot open (no box program under a bare X server) its text reaches stderr.
TEST_F(AppE2ETest, WithoutOpenGl33TheFatalBoxEndsTheProgram)
{
    const std::string errors = (folder / "errors.txt").string();
    const int status = std::system(("MESA_GL_VERSION_OVERRIDE=2.1 timeout 60 '" + PROGRAM + "' 2>'" + errors + "'").c_str());
    std::ifstream in(errors);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find("Fatal initialization error") == std::string::npos) {
        // A box did open: answer it.
        const std::string box = findWindow("Fatal initialization error", 5);
        if (!box.empty())
            run("xdotool windowfocus " + box + " key Return");
    }
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST(AppCommandLine, HelpVersionAndBadArguments)
{
    EXPECT_EQ(std::system(("'" + PROGRAM + "' --help >/dev/null").c_str()), 0);
    EXPECT_NE(run("'" + PROGRAM + "' --version").find("velbrin "), std::string::npos);
    const int status = std::system(("'" + PROGRAM + "' --bogus 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
}
