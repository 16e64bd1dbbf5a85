// A real, shown window driven from outside with xdotool (under xvfb-run) while its loop runs:
// pointer moves, clicks, wheel notches and keys must arrive as the engine's events with the
// right codes and positions. One test, because the pointer and keyboard focus are shared by
// everything on the display. Skipped when there is no display or no xdotool.
#include "tests/support/ShellCommand.h"
#include "engine/gl/NativeContext.h"
#include "engine/window/KeyCodes.h"
#include "engine/window/NativeWindow.h"
#include "engine/window/ResponsiveApplication.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvex {
namespace {

using namespace std::chrono_literals;

// Runs a shell command and returns its standard output (trailing newline removed).
inline std::string run(const std::string& command) { return testsupport::runCommand(command); }

class DrivenApplication final : public ResponsiveApplication {
public:
    explicit DrivenApplication(std::string title) : title(std::move(title)) {}

    bool initialize() override
    {
        setTitle(title);
        setSize(320, 240);
        context = createNativeContext(ContextSettings());
        if (!context)
            failure = lastError();
        return bool(context);
    }
    void finalize() override { context.reset(); }
    void paint() override
    {
        if (context && context->makeCurrent())
            context->swapBuffers();
        if (native().windowState() >= NativeWindow::VISIBLE)
            shown = true;
    }

    void stateChanged(int code) override { record("state " + std::to_string(code)); }
    void characterInput(char32_t code) override { record("char " + std::to_string(unsigned(code))); }
    void keyPressed(const KeyEvent& e) override { record("keyPressed " + describe(e)); }
    void keyReleased(const KeyEvent& e) override { record("keyReleased " + describe(e)); }
    void mouseButtonPressed(const MouseButtonEvent& e) override { record("buttonPressed " + describe(e)); }
    void mouseButtonReleased(const MouseButtonEvent& e) override { record("buttonReleased " + describe(e)); }
    void mouseWheel(const MouseWheelEvent& e) override { record("wheel " + std::to_string(int(e.delta))); }
    void mouseMoved(const MouseMoveEvent& e) override
    {
        record("moved " + std::to_string(int(e.x)) + "," + std::to_string(int(e.y)));
    }

    // Any thread.
    std::vector<std::string> events() const
    {
        std::lock_guard lock(mutex);
        return log;
    }
    bool received(const std::string& line) const
    {
        const std::vector<std::string> all = events();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    std::atomic<bool> shown{false};
    std::string failure;

private:
    static std::string describe(const KeyEvent& e)
    {
        return std::to_string(e.scanKey) + "/" + std::to_string(e.key) + " action " + std::to_string(e.action);
    }
    static std::string describe(const MouseButtonEvent& e)
    {
        return std::to_string(e.button) + " action " + std::to_string(e.action) + " at " + std::to_string(int(e.x)) +
               "," + std::to_string(int(e.y));
    }
    void record(std::string line)
    {
        std::lock_guard lock(mutex);
        log.push_back(std::move(line));
    }

    std::string title;
    UniquePtr<NativeContext> context;
    mutable std::mutex mutex;
    std::vector<std::string> log;
};

class CloseCallee final : public Callee<void> {
public:
    explicit CloseCallee(Window& window) : window(window) {}
    CloseCallee* clone() const override { return new CloseCallee(window); }
    void call() override { window.closeRequested(); }

private:
    Window& window;
};

// Waits (bounded) for `done`; false on time-out.
template <typename Condition>
bool waitFor(Condition done, std::chrono::milliseconds limit)
{
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (done())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

TEST(WindowE2ETest, XdotoolInputArrivesAsEngineEvents)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY: run under xvfb-run -a -s \"-screen 0 1280x1024x24\"";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is not installed (apt-get install xdotool)";

    const std::string title = "orvex-e2e-" + std::to_string(getpid());
    DrivenApplication app(title);
    CloseCallee close(app);
    std::string driverError;

    std::thread driver([&] {
        if (!waitFor([&] { return app.shown.load(); }, 10s)) {
            driverError = "the window was never shown";
        } else {
            const std::string id = run("timeout 10 xdotool search --sync --name '^" + title + "$' | head -n 1");
            if (id.empty()) {
                driverError = "xdotool found no window named " + title;
            } else {
                // No window manager under Xvfb: raise and focus directly (windowactivate fails).
                const std::string x = "xdotool ";
                const std::vector<std::string> steps = {
                    x + "windowraise " + id,
                    x + "windowfocus " + id,
                    x + "mousemove --window " + id + " 100 50",
                    x + "click 1",
                    x + "click 4", // one notch away from the user
                    x + "click 5", // one notch towards the user
                    x + "key Tab",
                    x + "key Escape",
                };
                for (const std::string& step : steps) {
                    if (std::system((step + " >/dev/null 2>&1").c_str()) != 0)
                        driverError += "failed: " + step + "\n";
                    std::this_thread::sleep_for(50ms);
                }
                // The last step's release tells that everything before it has been dispatched.
                waitFor([&] { return app.received("keyReleased 39/39 action 2"); }, 5s);
            }
        }
        // Ends the loop whatever happened, so a failure reports instead of hanging.
        app.post(&close);
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
    const int exitCode = app.run();
    driver.join();

    ASSERT_EQ(exitCode, 0) << app.failure;
    ASSERT_EQ(driverError, "");
    const std::vector<std::string> events = app.events();
    std::string all;
    for (const std::string& line : events)
        all += "  " + line + "\n";
    SCOPED_TRACE("events received:\n" + all);

    auto position = [&](const std::string& line) {
        return std::find(events.begin(), events.end(), line) - events.begin();
    };
    auto expectInOrder = [&](const std::vector<std::string>& lines) {
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(app.received(lines[i])) << "missing: " << lines[i];
            if (i > 0) {
                EXPECT_LT(position(lines[i - 1]), position(lines[i])) << lines[i - 1] << " before " << lines[i];
            }
        }
    };
    expectInOrder({"state 6", "moved 100,50", "buttonPressed 1 action 0 at 100,50", "buttonReleased 1 action 2 at 100,50",
                   "wheel -1", "wheel 1"});
    expectInOrder({"keyPressed 41/41 action 0", "char 9", "keyReleased 41/41 action 2", "keyPressed 39/39 action 0",
                   "keyReleased 39/39 action 2"});
    EXPECT_FALSE(app.received("char 27")) << "Escape is not a character";
}

} // namespace
} // namespace orvex
