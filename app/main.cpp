// velbrin [DIRECTORY]: the disk-usage viewer. With DIRECTORY the scan starts at once, as if it
// had been picked; otherwise the start screen asks for one. Exit status 0 after a normal close,
// 1 after a failed start or a crash (each with its message box), 2 for bad arguments.
#include "app/AppWindow.h"
#include "engine/window/Window.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

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
    std::string directory;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::printf("usage: velbrin [DIRECTORY]\n"
                        "  Shows how the bytes below DIRECTORY are spread over its files and directories as an\n"
                        "  icicle chart. Without DIRECTORY, the window asks for one.\n"
                        "  --help     this text\n"
                        "  --version  the program's version\n");
            return 0;
        }
        if (argument == "--version") {
            std::printf("velbrin %s\n", VERSION);
            return 0;
        }
        if (argument == "--" && i + 1 < argc && directory.empty()) {
            directory = argv[++i];
            continue;
        }
        if (argument.empty()) {
            std::fprintf(stderr, "velbrin: DIRECTORY is empty: give a directory to scan\n");
            return 2;
        }
        if (argument.rfind("-", 0) == 0 || !directory.empty()) {
            std::fprintf(stderr, "velbrin: unexpected argument %s (see velbrin --help)\n", argv[i]);
            return 2;
        }
        directory = argument;
    }
    try {
        int status = 0;
        {
            AppWindow window(directory);
            status = window.run();
        }
        return status;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    } catch (...) {
        return crashed();
    }
}
