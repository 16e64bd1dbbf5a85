// make-app-icon FILE.ico: writes the program's icon (app/AppIcon's picture) in the sizes the shell
// and the window frame ask for, for the executable's resource 101. A host tool of the cross build
// (cmake/host-tools); run by the build.
#include "app/AppIcon.h"
#include "app/win32/IconFile.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-app-icon FILE.ico\n");
        return 2;
    }
    std::vector<orvex::Window::Icon> images;
    for (int size : { 16, 20, 24, 32, 40, 48, 64, 256 })
        images.push_back(appIcon(size));
    const std::string bytes = encodeIcoFile(images);
    std::FILE* file = std::fopen(argv[1], "wb");
    const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0)
        return 1;
    if (bytes.empty() || !written) {
        std::fprintf(stderr, "make-app-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
