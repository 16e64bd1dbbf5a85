// orvex-gallery [--size WxH] [--confirm] [--screenshot FILE.png]: the GUI toolkit's visual check. A real window
// shows the start-screen arrangement with its buttons (hover, pressed, focused and disabled looks),
// a paragraph in two weights that wraps again as the window is resized, a line of non-Latin text,
// every icon mask and the whole bitmap font. It reacts to the mouse and the keyboard (Tab,
// Shift+Tab, Space, Enter) and prints "action: TEXT" for every button click. With --screenshot it
// writes the first frame shown into FILE.png and exits. --confirm opens the confirmation panel
// over the page at start (Escape, CANCEL or MOVE TO TRASH close it). Exit status 0, 1 failure, 2 bad arguments.
#include "engine/core/OutputFile.h"
#include "engine/window/NativeWindow.h"
#include "tools/gallery/GalleryWindow.h"
#include "tools/snapshot/PngFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const USAGE = "usage: orvex-gallery [--size WxH] [--confirm] [--screenshot FILE.png]\n";

class Gallery final : public GalleryWindow {
public:
    Gallery(int width, int height, std::string screenshot)
        : GalleryWindow(width, height, [](const std::string& text) {
              std::printf("action: %s\n", text.c_str());
              std::fflush(stdout);
          }),
          screenshot(std::move(screenshot))
    {
    }

    void paint() override
    {
        if (screenshot.empty() || !glContext) {
            GalleryWindow::paint();
            return;
        }
        GalleryWindow::paint();
        if (native().windowState() < orvex::NativeWindow::VISIBLE) {
            requestRedraw(); // the first frame is drawn before the window shows
            return;
        }
        // The frame just presented is drawn again and read before it is presented.
        GalleryWindow::paint();
        const orvex::Image picture = readScreen();
        std::string error;
        if (!writePng(screenshot, picture, error)) {
            std::fprintf(stderr, "orvex-gallery: %s\n", error.c_str());
            status = 1;
        }
        screenshot.clear();
        closeRequested();
    }

    int status = 0;

private:
    std::string screenshot;
};

} // namespace

int main(int argc, char** argv)
{
    int width = 1280, height = 757;
    std::string screenshot;
    bool confirm = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 480 || height < 360 || width > 16384
                || height > 16384) {
                std::fprintf(stderr, "orvex-gallery: --size wants WxH, at least 480x360\n%s", USAGE);
                return 2;
            }
        } else if (argument == "--confirm") {
            confirm = true;
        } else if (argument == "--screenshot" && i + 1 < argc) {
            screenshot = argv[++i];
            std::string error;
            if (!orvex::OutputFile::checkWritable(screenshot, error)) {
                std::fprintf(stderr, "orvex-gallery: %s\n", error.c_str());
                return 1;
            }
        } else {
            std::fprintf(stderr, "orvex-gallery: unknown argument %s\n%s", argv[i], USAGE);
            return 2;
        }
    }
    Gallery gallery(width, height, screenshot);
    gallery.confirmAtStart = confirm;
    const int result = gallery.run();
    if (result != 0) {
        std::fprintf(stderr, "orvex-gallery: %s\n", gallery.failure().c_str());
        return 1;
    }
    return gallery.status;
}
