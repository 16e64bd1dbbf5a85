// orvex-gallery run as a program under a virtual X server: its first frame matches the reference
// picture tests/data/gallery-1280x757.png (within a tolerance), and, driven with xdotool, Tab and
// Shift+Tab move the keyboard focus among the enabled buttons (the disabled one is skipped, the
// focus wraps), Enter and Space click the focused button, and a mouse click clicks the button
// under the pointer; every click prints "action: TEXT".
//
// After an intended change of the gallery's look, regenerate the reference with
//   VELBRIN_UPDATE_REFERENCE=1 xvfb-run -a -s "-screen 0 1600x1000x24" BUILD/tests/tools/tools_e2e_tests --gtest_filter='Gallery*Reference*'
// and look at it before committing it.
#include "tests/support/ShellCommand.h"
#include "tools/snapshot/PngFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string GALLERY = VELBRIN_GALLERY_TOOL;
const std::string REFERENCE = std::string(VELBRIN_TEST_DATA) + "/gallery-1280x757.png";

inline std::string run(const std::string& command) { return testsupport::runCommand(command); }

// The gallery as a child process whose standard output the test reads line by line.
class RunningGallery {
public:
    RunningGallery()
    {
        int channel[2];
        if (pipe(channel) != 0)
            return;
        child = fork();
        if (child == 0) {
            dup2(channel[1], STDOUT_FILENO);
            close(channel[0]);
            close(channel[1]);
            execl(GALLERY.c_str(), GALLERY.c_str(), "--size", "1280x757", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(channel[1]);
        output = channel[0];
    }
    ~RunningGallery()
    {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
        if (output >= 0)
            close(output);
    }

    // The next line the gallery prints, or empty after `timeout`.
    std::string nextLine(std::chrono::milliseconds timeout = 5000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            const size_t feed = pending.find('\n');
            if (feed != std::string::npos) {
                std::string line = pending.substr(0, feed);
                pending.erase(0, feed + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd readable { output, POLLIN, 0 };
            char buffer[256];
            ssize_t got = 0;
            if (left.count() <= 0 || poll(&readable, 1, int(left.count())) != 1 || (got = read(output, buffer, sizeof buffer)) <= 0)
                return "";
            pending.append(buffer, size_t(got));
        }
    }

    pid_t child = -1;

private:
    int output = -1;
    std::string pending;
};

bool displayAndXdotool(std::string& why)
{
    if (!std::getenv("DISPLAY"))
        why = "no DISPLAY: run under xvfb-run -a -s \"-screen 0 1600x1000x24\"";
    else if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        why = "xdotool is not installed";
    return why.empty();
}

} // namespace

TEST(GalleryE2E, FirstFrameMatchesTheReference)
{
    std::string why;
    if (!displayAndXdotool(why))
        GTEST_SKIP() << why;
    std::string folder = (fs::temp_directory_path() / "gallery-e2e-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const std::string shot = folder + "/shot.png";
    const int status = std::system(("'" + GALLERY + "' --size 1280x757 --screenshot '" + shot + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    orvex::Image picture, reference;
    std::string error;
    ASSERT_TRUE(readPng(shot, picture, error)) << error;
    if (std::getenv("VELBRIN_UPDATE_REFERENCE")) {
        fs::copy_file(shot, REFERENCE, fs::copy_options::overwrite_existing);
        fs::remove_all(folder);
        GTEST_SKIP() << "wrote " << REFERENCE;
    }
    fs::remove_all(folder);
    ASSERT_TRUE(readPng(REFERENCE, reference, error)) << error;
    ASSERT_EQ(picture.width(), reference.width());
    ASSERT_EQ(picture.height(), reference.height());
    // Rasterisers may differ by a level at glyph edges; a moved button, a lost text or a wrong
    // colour changes many pixels by far more.
    size_t different = 0;
    const size_t pixels = size_t(picture.width()) * size_t(picture.height());
    for (size_t i = 0; i < pixels * 4; i += 4) {
        int worst = 0;
        for (size_t c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int(picture.data()[i + c]) - int(reference.data()[i + c])));
        different += worst > 48;
    }
    EXPECT_LT(double(different) / double(pixels), 0.002) << different << " of " << pixels << " pixels differ";
}

TEST(GalleryE2E, KeyboardAndMouseClickTheRightButtons)
{
    std::string why;
    if (!displayAndXdotool(why))
        GTEST_SKIP() << why;
    RunningGallery gallery;
    ASSERT_GT(gallery.child, 0);
    const std::string id = run("timeout 20 xdotool search --sync --onlyvisible --name '^orvex gallery$' | head -n 1");
    ASSERT_FALSE(id.empty()) << "the gallery's window never appeared";
    // No window manager under Xvfb: raise and focus directly.
    run("xdotool windowraise " + id + " windowfocus " + id);
    std::this_thread::sleep_for(300ms);

    // The focus starts on SELECT DIRECTORY; Tab wraps to the first button, skips the disabled one.
    struct Step {
        const char* keys;
        const char* action;
    };
    for (Step step : { Step { "Tab Return", "HOMEPAGE" }, Step { "Tab space", "SUPPORT THIS PROJECT" },
                       Step { "Tab Return", "SELECT DIRECTORY" }, Step { "shift+Tab Return", "SUPPORT THIS PROJECT" },
                       Step { "shift+Tab shift+Tab KP_Enter", "SELECT DIRECTORY" } }) {
        run(std::string("xdotool key --delay 60 ") + step.keys);
        EXPECT_EQ(gallery.nextLine(), std::string("action: ") + step.action) << "after " << step.keys;
    }
    // SELECT DIRECTORY's centre in the 1280 x 757 layout.
    run("xdotool mousemove --window " + id + " 280 508 click 1");
    EXPECT_EQ(gallery.nextLine(), "action: SELECT DIRECTORY");
    // A press that leaves the button before the release does not click.
    run("xdotool mousemove --window " + id + " 160 364 mousedown 1 mousemove --window " + id + " 900 700 mousemove --window "
        + id + " 910 710 mouseup 1");
    EXPECT_EQ(gallery.nextLine(1000ms), "") << "a cancelled press clicked";
    run("xdotool mousemove --window " + id + " 160 364 click 1");
    EXPECT_EQ(gallery.nextLine(), "action: HOMEPAGE");
}
