// gui-bench [--size WxH] [--frames N]: the GUI toolkit's cost per frame, on the gallery's
// component tree in a real window (a display or xvfb-run with a screen at least that large).
// Prints, for (c) the first frame, (a) a steady frame with nothing changed, (b) the frame after a
// resize that wraps the paragraphs again, and a frame that only clears and presents the same
// window: the median time over N frames (each ended with glFinish, so the GPU's work counts), the
// texture uploads (calls and bytes, counted at the GL entry points) and how many texts were
// rasterised. A steady frame should rasterise and upload nothing and cost little more than the
// empty frame; a resize should rasterise only the texts whose lines changed.
#include "engine/gl/GlFunctions.h"
#include "engine/core/Clock.h"
#include "gui/text/BasicGLNativeTextObject.h"
#include "tools/gallery/GalleryWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace orvex;

namespace {

// Counts the texture uploads made through the two GL entry points that upload 2D pixels.
struct UploadCounter {
    static inline uint64_t calls = 0;
    static inline uint64_t bytes = 0;
    static inline decltype(gl::TexSubImage2D) originalSub = nullptr;
    static inline decltype(gl::TexImage2D) originalImage = nullptr;

    static void GLAPIENTRY sub(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                               GLenum type, const void* pixels)
    {
        calls += 1;
        bytes += uint64_t(width) * uint64_t(height) * 4;
        originalSub(target, level, x, y, width, height, format, type, pixels);
    }
    static void GLAPIENTRY image(GLenum target, GLint level, GLint internal, GLsizei width, GLsizei height, GLint border,
                                 GLenum format, GLenum type, const void* pixels)
    {
        if (pixels) {
            calls += 1;
            bytes += uint64_t(width) * uint64_t(height) * 4;
        }
        originalImage(target, level, internal, width, height, border, format, type, pixels);
    }
    static inline uint64_t draws = 0;
    static inline decltype(gl::DrawArrays) originalDraw = nullptr;
    static void GLAPIENTRY draw(GLenum mode, GLint first, GLsizei count)
    {
        draws += 1;
        originalDraw(mode, first, count);
    }
    static void install()
    {
        originalDraw = gl::DrawArrays;
        gl::DrawArrays = &draw;
        originalSub = gl::TexSubImage2D;
        originalImage = gl::TexImage2D;
        gl::TexSubImage2D = &sub;
        gl::TexImage2D = &image;
    }
};

struct Figures {
    double medianMs = 0;
    double uploadsPerFrame = 0;
    double uploadKiBPerFrame = 0;
    double rasterisedPerFrame = 0;
    double drawsPerFrame = 0;
};

class Bench final : public GalleryWindow {
public:
    Bench(int width, int height) : GalleryWindow(width, height, [](const std::string&) {}) {}

    // Runs `frame` `count` times and measures each.
    Figures measure(int count, const std::function<void()>& frame)
    {
        std::vector<double> times;
        const uint64_t calls = UploadCounter::calls, bytes = UploadCounter::bytes, draws = UploadCounter::draws;
        const uint64_t rasterised = gui::BasicGLNativeTextObject::rasterisations();
        for (int i = 0; i < count; ++i) {
            const TimePoint start = TimePoint::now();
            frame();
            gl::Finish();
            times.push_back(seconds(TimePoint::now() - start) * 1000.0);
        }
        std::sort(times.begin(), times.end());
        Figures figures;
        figures.medianMs = times[times.size() / 2];
        figures.uploadsPerFrame = double(UploadCounter::calls - calls) / count;
        figures.uploadKiBPerFrame = double(UploadCounter::bytes - bytes) / 1024.0 / count;
        figures.drawsPerFrame = double(UploadCounter::draws - draws) / count;
        figures.rasterisedPerFrame = double(gui::BasicGLNativeTextObject::rasterisations() - rasterised) / count;
        return figures;
    }

    // What the window's resize handler does for a new client size (the atlas follows the window,
    // the tree is laid out at the new size); the window itself keeps its size, so the frames
    // compare like with like.
    void resizeTo(int width, int height)
    {
        textFactory->clientResized(width, height);
        const gui::Vector2 client { double(width), double(height) };
        screen->root()->layout(client, client, host.layoutScale());
    }
};

void print(const char* what, const Figures& f)
{
    std::printf("%-26s %9.3f ms %7.1f draws %6.2f uploads %9.1f KiB %6.2f texts rasterised\n", what, f.medianMs,
                f.drawsPerFrame, f.uploadsPerFrame, f.uploadKiBPerFrame, f.rasterisedPerFrame);
}

} // namespace

int main(int argc, char** argv)
{
    int width = 1280, height = 757, frames = 60;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc && std::sscanf(argv[i + 1], "%dx%d", &width, &height) == 2) {
            ++i;
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::max(3, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: gui-bench [--size WxH] [--frames N]\n");
            return 2;
        }
    }
    Bench bench(width, height);
    const TimePoint started = TimePoint::now();
    if (!bench.initialize()) {
        std::fprintf(stderr, "gui-bench: %s\n", bench.failure().c_str());
        return 1;
    }
    UploadCounter::install();
    bench.show();
    std::printf("gallery at %dx%d, %d frames each (median)\n", width, height, frames);
    Figures first = bench.measure(1, [&] { bench.paintNow(); });
    first.medianMs += 0; // the first frame alone; construction and first layout are below
    print("(c) first frame", first);
    std::printf("%-26s %10.3f ms\n", "    window to first frame", seconds(TimePoint::now() - started) * 1000.0);
    const Figures steady = bench.measure(frames, [&] { bench.paintNow(); });
    print("(a) steady frame", steady);
    const Figures empty = bench.measure(frames, [&] { bench.paintEmpty(); });
    print("    clear + present only", empty);
    // Narrower and wider by turns: the paragraphs wrap differently every frame, the rest stays.
    int turn = 0;
    const Figures resize = bench.measure(frames, [&] {
        bench.resizeTo(width - 120 + 120 * (turn++ % 2), height);
        bench.paintNow();
    });
    print("(b) frame after a resize", resize);
    std::printf("steady / empty frame time: %.3f\n", empty.medianMs > 0 ? steady.medianMs / empty.medianMs : 0.0);
    bench.finalize();
    return 0;
}
