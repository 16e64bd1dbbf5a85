// velbrin [DIRECTORY...]: the disk-usage viewer. With DIRECTORY the scan starts at once, as if it
// had been picked (several: one chart whose root holds each of them); otherwise the start screen
// asks for one. Exit status 0 after a normal close,
// 1 after a failed start or a crash (each with its message box), 2 for bad arguments. The
// arguments are read as UTF-8 on every platform (orvex::commandLineArguments); the answers to
// --help, --version and bad arguments go through writeProgramOutput (on Windows, where this is a
// GUI program without a console, possibly into a message box).
#include "app/AppWindow.h"
#include "app/ProgramOutput.h"
#include "engine/core/CommandLine.h"
#include "engine/core/StandardStreams.h"
#include "engine/window/Window.h"

#include <new>
#include <string>
#include <vector>

namespace {

const char* const VERSION = "0.2.0";

int outOfMemory()
{
    orvex::Window::showMessage(orvex::Window::MESSAGE_ERROR, "Out of memory",
                               "The Velbrin application crashed due to insufficient available memory.");
    return 1;
}

int crashed()
{
    orvex::Window::showMessage(orvex::Window::MESSAGE_ERROR, "Fatal error", "The Velbrin application crashed unexpectedly.");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Before the display connection, the settings or a scan file take a closed descriptor's number.
    orvex::openStandardStreams();
    const std::vector<std::string> arguments = orvex::commandLineArguments(argc, argv);
    std::vector<std::string> directories;
    bool standardInput = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            writeProgramOutput("usage: velbrin [DIRECTORY | SCAN-FILE]...\n"
                               "  Shows how the bytes below DIRECTORY are spread over its files and directories as an\n"
                               "  icicle chart. Without DIRECTORY, the window asks for one. Several are shown in one\n"
                               "  chart whose root, \"N scans\", holds each of them.\n"
#if VELBRIN_SCAN_FILES
                               "  SCAN-FILE is a stored scan (a JSON export from velbrin-scan, ncdu or gdu, plain, .gz\n"
                               "  or .zst): its chart is shown as it was scanned. - reads one from standard input.\n"
#endif
                               "  --help     this text\n"
                               "  --version  the program's version\n",
                               false);
            return 0;
        }
        if (argument == "--version") {
            writeProgramOutput(std::string("velbrin ") + VERSION + "\n", false);
            return 0;
        }
        if (argument == "--") {
            directories.insert(directories.end(), arguments.begin() + std::ptrdiff_t(i) + 1, arguments.end());
            break;
        }
        if (argument.empty()) {
            writeProgramOutput("velbrin: DIRECTORY is empty: give a directory to scan\n", true);
            return 2;
        }
#if VELBRIN_SCAN_FILES
        if (argument == "-") {
            if (standardInput) {
                writeProgramOutput("velbrin: - (standard input) given more than once\n", true);
                return 2;
            }
            standardInput = true;
            directories.push_back(argument);
            continue;
        }
#endif
        if (argument.rfind("-", 0) == 0) {
            writeProgramOutput("velbrin: unexpected argument " + argument + " (see velbrin --help)\n", true);
            return 2;
        }
        directories.push_back(argument);
    }
    for (const std::string& directory : directories) {
        if (directory.empty()) {
            writeProgramOutput("velbrin: DIRECTORY is empty: give a directory to scan\n", true);
            return 2;
        }
    }
    try {
        int status = 0;
        {
            AppWindow window(directories);
            status = window.run();
        }
        return status;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    } catch (...) {
        return crashed();
    }
}
