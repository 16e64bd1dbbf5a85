// The main window's life: the initialisation chain (any failure ends in the fatal box), the
// answer handling through the component host, F6, painting, and the teardown order.
#include "app/AppWindow.h"

#include "app/AppGui.h"
#include "app/AppIcon.h"
#include "app/PeakMemory.h"
#include "app/SettingsFile.h"
#include "app/desktop/Desktop.h"
#include "engine/gl/FrameBuffer.h"
#include "engine/window/KeyCodes.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace orvex;

namespace {

constexpr Color<float> BACKGROUND { 0.0625f, 0.0625f, 0.0625f, 1 };
// Below the default client size (the settings' default window) the interface shrinks with the
// window, to 3/4 at the smallest: the buttons and texts would otherwise keep their size while the
// chart and its root label shrink.
constexpr gui::Vector2 SMALLEST_CLIENT { 480, 360 };
constexpr double SMALLEST_INTERFACE = 0.75;

} // namespace

AppWindow::AppWindow(std::vector<std::string> startPaths) : startPaths(std::move(startPaths))
{
    // Benchmarks ask for one line per frame and for the program to end once the finished chart
    // has been drawn a number of times. The log is a new file of the benchmark's own.
    if (const char* path = std::getenv("VELBRIN_FRAME_LOG"); path && *path) {
        frameLog = std::fopen(path, "wx");
        const char* frames = std::getenv("VELBRIN_EXIT_AFTER_CHART_FRAMES");
        chartFramesToExit = frames ? std::max(0, std::atoi(frames)) : 0;
    }
    setMode(MODE_RESIZABLE);
    setTitle("Velbrin Preview");
    setMinimumSize(int(SMALLEST_CLIENT.x), int(SMALLEST_CLIENT.y));
#ifndef _WIN32
    const Window::Icon icon = appIcon(64);
    setIcon(&icon);
#endif
    // On Windows the executable's icon resource (every size of it) is the window's icon.
}

AppWindow::~AppWindow()
{
    if (frameLog)
        std::fclose(frameLog);
    release();
    icicleResources = nullptr;
    settings = nullptr;
}

bool AppWindow::initialize()
{
    settings = makeUnique<Settings>();
    loadSettings(*settings);
    // The file's sizes are not range-checked; a window is at least 1 and at most 16384 pixels.
    const double dpi = dpiScale();
    auto pixels = [&](double size) { return int(std::clamp(size * dpi, 1.0, 16384.0)); };
    setSize(pixels(settings->windowWidth), pixels(settings->windowHeight));
    if (settings->lockWindowSize)
        setMode(MODE_FIXED);
    Window::ContextSettings contextSettings;
    contextSettings.doubleBuffered = true;
    contextSettings.vsync = true;
    contextSettings.samples = 0;
    nativeContext = createNativeContext(contextSettings);
    if (!nativeContext)
        return false;
    glContext.reset(createGlContext(nativeContext.get()));
    if (!glContext)
        return false;
    ScreenFrameBuffer* screen = glContext->screenFrameBuffer();
    screen->makeCurrent();
    screen->setDepthTest(0);
    screen->setBlending(true);
    screen->setCullMode(1);
    icicleResources = makeUnique<IcicleResources>();
    if (!createIcicleResources(*glContext, *icicleResources))
        return false;
    useDarkTitleBar(platformHandle());
    renderer = gui::BasicGLRenderer::create(glContext.get());
    if (!renderer)
        return false;
    renderer->blendMode = 1;
    const Vector<int, 2> client = clientSize();
    textFactory = makeUnique<gui::NativeTextObjectFactory>(glContext.get(), client[0], client[1]);
    clipboard = makeUnique<gui::DirectClipboardDelegate>();
    gui = AppGui::create(*this, *settings, *icicleResources, *textFactory);
    if (!gui)
        return false;
    gui->configure(renderer->configurator());
    host.setRoot(gui.get());
    host.setInterfaceScale(settings->uiScaleMultiplier);
    const Settings defaults;
    host.setShrinkRule({ SMALLEST_CLIENT, { defaults.windowWidth, defaults.windowHeight }, SMALLEST_INTERFACE });
    host.relayout();
    // The walk starts before the warm-up, so the two overlap on a machine with more than one core.
    if (!startPaths.empty())
        gui->startFromCommandLine(startPaths);
    warmUp();
    return true;
}

void AppWindow::warmUp()
{
    ScreenFrameBuffer* screen = glContext->screenFrameBuffer();
    screen->makeCurrent();
    screen->resetViewport();
    const Vector<int, 2> size = screen->size();
    renderer->setViewport({ 0, 0, double(size[0]), double(size[1]) });
    gui->warmUp(*renderer);
    glContext->clear(BACKGROUND);
}

void AppWindow::release()
{
    // The controller first: it stops the scanner's worker and frees the tree and the text objects.
    host.setRoot(nullptr);
    gui = nullptr;
    clipboard = nullptr;
    textFactory = nullptr;
    renderer = nullptr;
    glContext = nullptr;
    nativeContext = nullptr;
}

void AppWindow::finalize() { release(); }

int AppWindow::initializationFailed()
{
    Window::showMessage(MESSAGE_ERROR, "Fatal initialization error",
                        "The Velbrin application failed to initialize. Please make sure your device supports OpenGL 3.3 "
                        "and geometry shaders.");
    return 1;
}

void AppWindow::resized(int width, int height)
{
    if (textFactory)
        textFactory->clientResized(width, height);
    host.relayout();
}

void AppWindow::keyPressed(const KeyEvent& event)
{
    const gui::Response answer = host.keyPressed(event);
    if (!(answer & gui::HANDLED) && event.key == KEY_F6 && settings) {
        // Values the file leaves out keep their current ones; a new scale needs a new layout.
        loadSettings(*settings);
        host.setInterfaceScale(settings->uiScaleMultiplier);
        host.relayout();
    }
}

void AppWindow::paint()
{
    if (!glContext || !gui)
        return;
    pace();
    const TimePoint begun = TimePoint::now();
    ScreenFrameBuffer* screen = glContext->screenFrameBuffer();
    screen->makeCurrent();
    screen->resetViewport();
    glContext->clear(BACKGROUND);
    const Vector<int, 2> size = screen->size();
    renderer->setViewport({ 0, 0, double(size[0]), double(size[1]) });
    host.draw(*renderer); // handles the answer: a relayout it asks for comes before the next frame
    screen->present();
    if (frameLog)
        logFrame(seconds(TimePoint::now() - begun) * 1000.0);
}

// Frames asked for back to back (an animation, the scan's progress) come at most at the display's
// usual 60 per second, at 15 while a scan runs and at 30 while a folder is refreshed under a usable
// chart: where no vertical sync paces them (a software renderer, a virtual display) every frame
// would otherwise take CPU time from the scan.
void AppWindow::pace()
{
    const double interval = gui->scanShown() ? 1.0 / 15 : gui->refreshing() ? 1.0 / 30 : 1.0 / 60;
    const double since = framePaced ? seconds(TimePoint::now() - lastPaced) : interval;
    // In short slices while a scan is shown, so the frame that takes its result follows its end.
    for (double left = interval - since; left > 0 && !gui->scanEnded() && !gui->refreshEnded(); left -= 0.002)
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(left, 0.002)));
    lastPaced = TimePoint::now();
    framePaced = true;
}

// One line per frame: milliseconds since the window was made, the milliseconds the frame took to
// draw and present, and what was shown ("scan", "chart" or "other"); before it, "status TEXT"
// whenever the frame shows another status line than the one before. While logging, every frame
// asks for the next (the finished chart is drawn again and again, so its frames can be compared
// with those of the scan).
void AppWindow::logFrame(double frameMs)
{
    const double sinceStart = seconds(TimePoint::now() - started) * 1000.0;
    const char* shown = gui->scanShown() ? "scan" : gui->chartShown() ? "chart" : "other";
    if (gui->statusText() != loggedStatus) {
        loggedStatus = gui->statusText();
        std::fprintf(frameLog, "status %s\n", loggedStatus.c_str());
    }
    if (gui->detailsText() != loggedDetails) {
        loggedDetails = gui->detailsText();
        std::fprintf(frameLog, "details %s\n", loggedDetails.c_str());
    }
    std::fprintf(frameLog, "frame %.3f %.3f %s\n", sinceStart, frameMs, shown);
    std::fflush(frameLog); // read while the program runs
    if (gui->chartShown() && chartFrames++ == 0) {
        // Wall-clock time, so a benchmark can count from the moment it started the process.
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::fprintf(frameLog, "chart_shown_realtime_ns %lld\n",
                     (long long)std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    }
    if (gui->chartShown() && chartFramesToExit > 0 && chartFrames >= chartFramesToExit) {
        std::fprintf(frameLog, "peak_rss_kib %ld\n", peakResidentKib());
        std::fflush(frameLog);
        closeRequested();
        return;
    }
    requestRedraw();
}
