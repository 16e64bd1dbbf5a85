// velbrin-snapshot's argument parsing: DIR... -o FILE.png [--size WxH] [--view START:END] [--rows N]
// [--sorted], options in any order, "--opt value" or "--opt=value".
#include "tools/snapshot/SnapshotOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

const char* const SNAPSHOT_USAGE =
    "usage: velbrin-snapshot DIR... -o FILE.png [--size WxH] [--view START:END] [--rows N] [--sorted]\n"
    "  Scans DIR and draws the chart screen (root label band, scroll bar, chart) into a PNG.\n"
    "  DIR may also be a stored scan (a JSON export, plain, .gz or .zst): its chart is drawn instead;\n"
    "  - reads a stored scan from standard input. Several DIRs are drawn as one chart whose root,\n"
    "  \"N scans\", holds each of them.\n"
    "  -o FILE.png      the picture to write\n"
    "  --size WxH       picture size in pixels (default 1280x800; at least 64x128)\n"
    "  --view START:END visible byte range (default the whole tree; clamped to it)\n"
    "  --rows N         rows below the root that fill the chart's height (default 8)\n"
    "  --sorted         order each directory's entries by name instead of the file system's listing\n"
    "                   order, which differs between file systems (for reproducible pictures)\n"
    "Needs an OpenGL 3.3 context with geometry shaders (a display, or xvfb-run).\n"
    "Exit status: 0 written, 1 failure (missing DIR, no OpenGL, unwritable FILE), 2 bad arguments.\n";

namespace {

constexpr int MIN_WIDTH = 64;
constexpr int MIN_HEIGHT = 128;
constexpr int MAX_SIDE = 16384;
constexpr int MAX_ROWS = 4096;

// A whole decimal number in [low, high] filling all of `text`.
bool parseInt(std::string_view text, int low, int high, int& out)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    const int value = std::atoi(std::string(text).c_str());
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

// A finite, non-negative number ("1e9" and "123.5" allowed) filling all of `text`.
bool parseBytes(std::string_view text, double& out)
{
    const std::string copy(text);
    if (copy.empty() || copy.find_first_not_of("0123456789.eE+") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0)
        return false;
    out = value;
    return true;
}

bool parseSize(std::string_view text, SnapshotOptions& options)
{
    const size_t x = text.find('x');
    return x != std::string_view::npos && parseInt(text.substr(0, x), MIN_WIDTH, MAX_SIDE, options.width) &&
           parseInt(text.substr(x + 1), MIN_HEIGHT, MAX_SIDE, options.height);
}

bool parseView(std::string_view text, SnapshotOptions& options)
{
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || !parseBytes(text.substr(0, colon), options.viewStart) ||
        !parseBytes(text.substr(colon + 1), options.viewEnd) || options.viewStart >= options.viewEnd)
        return false;
    options.wholeTree = false;
    return true;
}

} // namespace

std::optional<SnapshotOptions> parseSnapshotOptions(int argc, const char* const* argv, std::string& error,
                                                    bool& helpRequested)
{
    SnapshotOptions options;
    helpRequested = false;
    bool haveDirectory = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            helpRequested = true;
            return std::nullopt;
        }
        if (arg.empty() || arg[0] != '-' || arg == "-") {
            if (arg.empty()) {
                error = "DIR is empty: give a directory to scan";
                return std::nullopt;
            }
            if (arg == "-" && std::find(options.paths.begin(), options.paths.end(), "-") != options.paths.end()) {
                error = "- (standard input) given more than once";
                return std::nullopt;
            }
            if (!haveDirectory)
                options.directory = std::string(arg);
            options.paths.emplace_back(arg);
            haveDirectory = true;
            continue;
        }
        if (arg == "--sorted") {
            options.sortNames = true;
            continue;
        }
        // "--name=value" or "--name value".
        std::string_view name = arg;
        std::string_view value;
        bool inlineValue = false;
        if (size_t equals = arg.find('='); equals != std::string_view::npos && arg.starts_with("--")) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        if (name != "-o" && name != "--output" && name != "--size" && name != "--view" && name != "--rows") {
            error = "unknown option '" + std::string(arg) + "'";
            return std::nullopt;
        }
        if (!inlineValue) {
            if (i + 1 >= argc) {
                error = "option " + std::string(name) + " needs a value";
                return std::nullopt;
            }
            value = argv[++i];
        }
        bool valid = true;
        if (name == "-o" || name == "--output") {
            valid = !value.empty();
            options.output = std::string(value);
        } else if (name == "--size") {
            valid = parseSize(value, options);
        } else if (name == "--view") {
            valid = parseView(value, options);
        } else {
            valid = parseInt(value, 1, MAX_ROWS, options.rows);
        }
        if (!valid) {
            error = "bad value '" + std::string(value) + "' for " + std::string(name);
            return std::nullopt;
        }
    }
    if (!haveDirectory) {
        error = "no DIR given";
        return std::nullopt;
    }
    if (options.directory.empty()) {
        error = "DIR is empty: give a directory to scan";
        return std::nullopt;
    }
    if (options.output.empty()) {
        error = "no output file given (-o FILE.png)";
        return std::nullopt;
    }
    return options;
}
