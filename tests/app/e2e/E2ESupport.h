// Helpers for the end-to-end tests: shell commands, bounded polling, one xwd capture of a window
// with the probes the tests read it by (colour counts, solid runs, cells on a line), and a private
// session bus with no service activation.
#pragma once

#include "tests/support/ShellCommand.h"
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string run(const std::string& command) { return testsupport::runCommand(command); }

inline std::string readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> readLines(const fs::path& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Polls `done` every 50 ms until it holds or `timeout` passes.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

struct Rgb {
    int r, g, b;
};

inline bool near(Rgb a, Rgb b, int tolerance = 6)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// One capture of a window as xwd writes it (3 or 4 bytes per pixel, either byte order).
struct Screen {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;

    bool capture(const std::string& window, const fs::path& file)
    {
        if (std::system(("xwd -silent -id " + window + " -out '" + file.string() + "' 2>/dev/null").c_str()) != 0)
            return false;
        const std::string bytes = readWhole(file);
        auto field = [&](size_t k) {
            const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + k * 4);
            return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        };
        if (bytes.size() < 100)
            return false;
        const uint32_t headerSize = field(0), byteOrder = field(7), bytesPerLine = field(12), colours = field(19);
        const size_t pixelBytes = field(11) / 8;
        width = int(field(4)), height = int(field(5));
        const size_t offset = headerSize + colours * 12;
        if ((pixelBytes != 3 && pixelBytes != 4) || bytes.size() < offset + size_t(height) * bytesPerLine)
            return false;
        pixels.resize(size_t(width) * size_t(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto* p = reinterpret_cast<const uint8_t*>(&bytes[offset + size_t(y) * bytesPerLine + size_t(x) * pixelBytes]);
                const size_t o = pixelBytes - 3; // a leading pad byte in big-endian 32-bit pixels
                pixels[size_t(y) * size_t(width) + size_t(x)] =
                    byteOrder == 0 ? Rgb { p[2], p[1], p[0] } : Rgb { p[o], p[o + 1], p[o + 2] };
            }
        return true;
    }
    Rgb at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    size_t count(Rgb colour) const
    {
        return size_t(std::count_if(pixels.begin(), pixels.end(), [&](Rgb p) { return near(p, colour); }));
    }
    // The smallest rectangle holding every run of at least 40 pixels of `colour` (a button's
    // face, never text) above line `below`: left, top, right, bottom (right < left if none).
    std::array<int, 4> bounds(Rgb colour, int below = -1) const
    {
        std::array<int, 4> box { width, height, -1, -1 };
        for (int y = 0; y < (below < 0 ? height : below); ++y)
            for (int x = 0, run = 0; x <= width; ++x) {
                if (x < width && near(at(x, y), colour)) {
                    ++run;
                    continue;
                }
                if (run >= 40)
                    box = { std::min(box[0], x - run), std::min(box[1], y), std::max(box[2], x - 1), std::max(box[3], y) };
                run = 0;
            }
        return box;
    }
    // The first row of cells: the first y below the header where column `x` leaves `background`.
    int firstCellRow(Rgb background, int x) const
    {
        for (int y = 1; y < height; ++y)
            if (near(at(x, y - 1), background) && !near(at(x, y), background))
                return y;
        return -1;
    }
    // How many runs of at least 3 pixels on line y are not `background` (cells, their borders apart).
    int cellsOnLine(int y, Rgb background) const
    {
        int cells = 0, run = 0;
        for (int x = 0; x <= width; ++x) {
            if (x < width && !near(at(x, y), background)) {
                ++run;
                continue;
            }
            cells += run >= 3;
            run = 0;
        }
        return cells;
    }
    // The run of pixels on line y around x that are not `background`: its first and last x.
    std::pair<int, int> runAround(int x, int y, Rgb background) const
    {
        int left = x, right = x;
        while (left > 0 && !near(at(left - 1, y), background))
            --left;
        while (right + 1 < width && !near(at(right + 1, y), background))
            ++right;
        return { left, right };
    }
};

// dbus-daemon with a minimal configuration (no service activation, so nothing real starts); its
// address goes into DBUS_SESSION_BUS_ADDRESS for the program started after it.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const fs::path& folder)
    {
        const fs::path config = folder / "bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig><type>session</type><listen>unix:dir=" << folder.string() << "</listen>"
                                 "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                                 "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n";
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string configArgument = "--config-file=" + config.string();
        const char* argv[] = { "dbus-daemon", configArgument.c_str(), "--nofork", "--nopidfile", "--print-address", nullptr };
        if (posix_spawnp(&daemon, "dbus-daemon", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            daemon = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        char c;
        while (daemon && read(ends[0], &c, 1) == 1 && c != '\n')
            address.push_back(c);
        close(ends[0]);
    }
    ~PrivateSessionBus()
    {
        if (daemon > 0) {
            kill(daemon, SIGTERM);
            waitpid(daemon, nullptr, 0);
        }
    }
    pid_t daemon = 0;
    std::string address;
};

} // namespace e2e
