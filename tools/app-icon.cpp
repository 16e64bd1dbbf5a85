// velbrin-icon SIZE FILE.png: writes the program's icon (the picture the window uses) as a PNG, for
// the desktop entry's icon theme. Run by the build.
#include "app/AppIcon.h"
#include "tools/snapshot/PngFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: velbrin-icon SIZE FILE.png (SIZE 16-1024)\n");
        return 2;
    }
    const orvex::Window::Icon icon = appIcon(size);
    orvex::Image image({ orvex::COMPONENT_UINT8, 4 }, size, size);
    std::memcpy(image.data(), icon.rgba.data(), icon.rgba.size());
    std::string error;
    if (!writePng(argv[2], image, error)) {
        std::fprintf(stderr, "velbrin-icon: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
