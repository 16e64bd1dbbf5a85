// The main loop with a real window and GL context (run under xvfb-run; under Wine on Windows): redraw coalescing,
// callees posted from other threads, the order of start-up and shutdown, scene exchange and the
// display-scale override.
// A watchdog ends a loop that would otherwise wait forever, so a broken loop fails, not hangs.
#include "engine/gl/NativeContext.h"
#include "engine/window/NativeWindow.h"
#include "engine/window/ResponsiveApplication.h"

#include "LoopTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvex {
namespace {

using namespace std::chrono_literals;

class FunctionCallee final : public Callee<void> {
public:
    explicit FunctionCallee(std::function<void()> function) : function(std::move(function)) {}
    FunctionCallee* clone() const override { return new FunctionCallee(function); }
    void call() override { function(); }

private:
    std::function<void()> function;
};

// Makes the loop see a close request unless disarmed in time.
class Watchdog {
public:
    explicit Watchdog(std::chrono::milliseconds limit)
        : requestClose(test::closeRequestFromAnyThread())
        , thread([this, limit] {
            std::unique_lock lock(mutex);
            if (!done.wait_for(lock, limit, [this] { return disarmed; })) {
                fired = true;
                requestClose();
            }
        })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex);
            disarmed = true;
        }
        done.notify_all();
        thread.join();
    }
    std::atomic<bool> fired{false};

private:
    std::mutex mutex;
    std::condition_variable done;
    bool disarmed = false;
    std::function<void()> requestClose;
    std::thread thread;
};

class TestApplication : public ResponsiveApplication {
public:
    using ResponsiveApplication::ResponsiveApplication;

    bool initialize() override
    {
        mainThread = std::this_thread::get_id();
        context = createNativeContext(ContextSettings());
        if (!context) {
            ADD_FAILURE() << "no native window/context: " << lastError();
            return false;
        }
        return onInitialize ? onInitialize() : true;
    }
    void finalize() override
    {
        ++finalizeCalls;
        context.reset(); // before the window, which run() destroys next
    }
    int initializationFailed() override
    {
        ++failedCalls;
        return 7;
    }
    void paint() override
    {
        ++paints;
        if (context && context->makeCurrent())
            context->swapBuffers();
        if (exists() && native().windowState() >= NativeWindow::VISIBLE)
            shownAndPainted = true;
        if (onPaint)
            onPaint();
    }
    void stateChanged(int code) override
    {
        states.push_back(code);
        ResponsiveApplication::stateChanged(code);
    }
    void resized(int width, int height) override
    {
        lastResize = width * 10000 + height;
        ResponsiveApplication::resized(width, height);
    }

    std::function<bool()> onInitialize;
    std::function<void()> onPaint;
    UniquePtr<NativeContext> context;
    std::thread::id mainThread;
    std::atomic<int> paints{0};
    std::atomic<bool> shownAndPainted{false};
    std::atomic<int> lastResize{0}; // width * 10000 + height of the last resized()
    int finalizeCalls = 0;
    int failedCalls = 0;
    std::vector<int> states;
};

// Waits (bounded) until the window has been shown and painted, then lets X settle, so that
// no expose from mapping the window is still on its way.
bool waitUntilShown(const TestApplication& app)
{
    for (int i = 0; i < 500 && !app.shownAndPainted; ++i)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(200ms);
    return app.shownAndPainted;
}

TEST(LoopGLTest, InitializeFailureReturnsInitializationFailedOnce)
{
    TestApplication app;
    app.onInitialize = [] { return false; };
    EXPECT_EQ(app.run(), 7);
    EXPECT_EQ(app.failedCalls, 1);
    EXPECT_EQ(app.paints, 0);
    EXPECT_EQ(app.finalizeCalls, 0);
    EXPECT_EQ(app.states, std::vector<int>{}) << "the window must not be shown";
}

TEST(LoopGLTest, CloseRequestBeforeShowingSkipsShowing)
{
    Watchdog watchdog(10s);
    TestApplication app;
    app.onInitialize = [&] {
        app.requestRedraw(); // a hidden window is not painted by the loop: one frame, from paintNow
        return true;
    };
    app.onPaint = [&] { app.closeRequested(); }; // the first frame, drawn before showing
    EXPECT_EQ(app.run(), 0);
    EXPECT_FALSE(watchdog.fired) << "the loop waited although a close was requested";
    EXPECT_EQ(app.paints, 1);
    EXPECT_EQ(app.finalizeCalls, 1);
    EXPECT_EQ(app.states, std::vector<int>{});
    EXPECT_FALSE(app.exists());
}

TEST(LoopGLTest, ShowingReportsShownThenRestored)
{
    Watchdog watchdog(10s);
    TestApplication app;
    FunctionCallee close([&] { app.closeRequested(); });
    app.onPaint = [&] {
        if (app.shownAndPainted)
            app.post(&close);
    };
    EXPECT_EQ(app.run(), 0);
    ASSERT_FALSE(watchdog.fired);
    ASSERT_GE(app.states.size(), 3u);
    EXPECT_EQ(app.states[0], STATE_SHOWN);
    EXPECT_EQ(app.states[1], STATE_RESTORED);
    // run() hides the window before finalize(); only the focus loss that hiding brings (Windows
    // deactivates a window after hiding it) and the pointer leaving may follow.
    size_t hidden = app.states.size();
    while (hidden > 0 && app.states[hidden - 1] != STATE_HIDDEN)
        --hidden;
    ASSERT_GT(hidden, 2u) << "run() hides the window before finalize()";
    for (size_t i = hidden; i < app.states.size(); ++i)
        EXPECT_TRUE(app.states[i] == STATE_FOCUS_LOST || app.states[i] == STATE_MOUSE_LEFT) << app.states[i];
}

TEST(LoopGLTest, TwoRedrawRequestsGiveOnePaint)
{
    Watchdog watchdog(10s);
    TestApplication app;
    int paintsBefore = -1;
    bool armed = false;
    FunctionCallee close([&] { app.closeRequested(); });
    // Posted from the paint that answers the two requests: it runs right after that paint and
    // ends the loop, which still drains (and would paint) anything left pending.
    app.onPaint = [&] {
        if (armed) {
            armed = false;
            app.post(&close);
        }
    };
    FunctionCallee requestTwice([&] {
        paintsBefore = app.paints;
        app.requestRedraw();
        app.requestRedraw();
        armed = true;
    });
    std::thread driver([&] {
        if (waitUntilShown(app))
            app.post(&requestTwice);
    });
    EXPECT_EQ(app.run(), 0);
    driver.join();
    ASSERT_FALSE(watchdog.fired) << "the posted callees never ran";
    ASSERT_GE(paintsBefore, 0);
    EXPECT_EQ(app.paints - paintsBefore, 1);
}

TEST(LoopGLTest, CalleePostedFromAnotherThreadRunsOnMainThread)
{
    Watchdog watchdog(10s);
    TestApplication app;
    std::thread::id ranOn;
    FunctionCallee callee([&] {
        ranOn = std::this_thread::get_id();
        app.closeRequested();
    });
    std::thread poster([&] {
        if (waitUntilShown(app))
            app.post(&callee);
    });
    EXPECT_EQ(app.run(), 0);
    poster.join();
    ASSERT_FALSE(watchdog.fired) << "the posted callee never ran";
    EXPECT_EQ(ranOn, app.mainThread);
    EXPECT_NE(ranOn, poster.get_id());
}

TEST(LoopGLTest, SetSizeReportsResizedWithinTheMinimum)
{
    Watchdog watchdog(10s);
    TestApplication app;
    Vector<int, 2> sizeSeen{};
    int drawableWidth = 0;
    FunctionCallee resize([&] {
        app.setMinimumSize(300, 250);
        app.setSize(400, 200); // the height is raised to the minimum
    });
    FunctionCallee close([&] {
        sizeSeen = app.clientSize();
        drawableWidth = app.context->clientWidth();
        app.closeRequested();
    });
    std::thread driver([&] {
        if (waitUntilShown(app)) {
            app.post(&resize);
            for (int i = 0; i < 300 && app.lastResize == 0; ++i)
                std::this_thread::sleep_for(10ms);
        }
        app.post(&close);
    });
    EXPECT_EQ(app.run(), 0);
    driver.join();
    ASSERT_FALSE(watchdog.fired);
    EXPECT_EQ(app.lastResize, 400 * 10000 + 250);
    EXPECT_EQ(sizeSeen, (Vector<int, 2>{{400, 250}}));
    EXPECT_EQ(drawableWidth, 400);
}

TEST(LoopGLTest, ClipboardTextComesBackWithLineFeeds)
{
    Window window;
    ASSERT_TRUE(window.create()) << window.lastError();
    Window::setClipboardText("first\r\nsecond\nthird \xE2\x82\xAC");
    std::string text;
    ASSERT_TRUE(Window::getClipboardText(text));
    EXPECT_EQ(text, "first\nsecond\nthird \xE2\x82\xAC");
}

// Records what the loop does to one scene.
class RecordingScene final : public Scene {
public:
    void attached(Window&) override { ++attaches; }
    void detached() override { ++detaches; }
    void userMessage(uintptr_t code, intptr_t value) override { messages.emplace_back(code, value); }
    int attaches = 0;
    int detaches = 0;
    std::vector<std::pair<uintptr_t, intptr_t>> messages;
};

TEST(LoopGLTest, SetSceneTwiceInstallsOnlyTheLast)
{
    Watchdog watchdog(10s);
    RecordingScene initial, replacedBeforeRun, startScene, replacedInLoop, lastInLoop;
    TestApplication app(&initial);
    app.onInitialize = [&] {
        app.setScene(&replacedBeforeRun);
        app.setScene(&startScene);
        return true;
    };
    FunctionCallee close([&] { app.closeRequested(); });
    FunctionCallee exchange([&] {
        app.setScene(&replacedInLoop);
        app.setScene(&lastInLoop);
        app.postUserMessage(5, 42); // another component's message, without the loop's marker
        app.post(&close);
    });
    bool posted = false;
    app.onPaint = [&] {
        if (!posted && app.shownAndPainted) {
            posted = true;
            app.post(&exchange);
        }
    };
    EXPECT_EQ(app.run(), 0);
    ASSERT_FALSE(watchdog.fired);
    EXPECT_EQ(initial.attaches, 0);
    EXPECT_EQ(replacedBeforeRun.attaches, 0);
    EXPECT_EQ(startScene.attaches, 1);
    EXPECT_EQ(startScene.detaches, 1);
    EXPECT_EQ(replacedInLoop.attaches, 0);
    EXPECT_EQ(lastInLoop.attaches, 1);
    EXPECT_EQ(lastInLoop.detaches, 1) << "run() ends with the empty scene";
    EXPECT_EQ(lastInLoop.messages, (std::vector<std::pair<uintptr_t, intptr_t>>{{5, 42}}));
}

// Posts a callee when detached, which run() does after its loop, just before finalize().
class PostOnDetach final : public Scene {
public:
    explicit PostOnDetach(Callee<void>& callee) : callee(callee) {}
    void attached(Window& window) override { owner = &window; }
    void detached() override { owner->post(&callee); }

private:
    Callee<void>& callee;
    Window* owner = nullptr;
};

// A callee still queued when its window's loop ended must not run in the next window's loop (by
// then it may be gone); SDL's event queue, for one, is process-wide.
TEST(LoopGLTest, CalleeQueuedWhenItsWindowGoesIsDropped)
{
    Watchdog watchdog(10s);
    int staleRuns = 0;
    FunctionCallee stale([&] { ++staleRuns; });
    {
        PostOnDetach scene(stale);
        TestApplication first(&scene);
        first.onPaint = [&] { first.closeRequested(); };
        EXPECT_EQ(first.run(), 0);
    }
    TestApplication second;
    FunctionCallee close([&] { second.closeRequested(); });
    second.onPaint = [&] {
        if (second.shownAndPainted)
            second.post(&close);
    };
    EXPECT_EQ(second.run(), 0);
    ASSERT_FALSE(watchdog.fired);
    EXPECT_EQ(staleRuns, 0);
}

TEST(LoopGLTest, ContextOutlivingItsWindowIsInert)
{
    Window window;
    UniquePtr<NativeContext> context = window.createNativeContext(Window::ContextSettings());
    ASSERT_TRUE(context) << window.lastError();
    EXPECT_TRUE(context->makeCurrent());
    EXPECT_EQ(context->clientWidth(), 640);
    EXPECT_EQ(context->clientHeight(), 480);
    window.destroyNative();
    EXPECT_FALSE(context->makeCurrent());
    EXPECT_EQ(context->clientWidth(), 0);
    context->swapBuffers();
    context.reset(); // must not touch the destroyed window
}

// ---------------------------------------------------------------------------------------------
// Display scale (measuring it may start the platform's video): VELBRIN_DPI_SCALE replaces the measured scale
// when it is a positive number.

TEST(DisplayScaleGLTest, EnvironmentOverride)
{
    const char* saved = std::getenv("VELBRIN_DPI_SCALE");
    const std::string savedValue = saved ? saved : "";
    test::setEnvironment("VELBRIN_DPI_SCALE", nullptr);
    const double measured = Window().dpiScale();

    const struct {
        const char* value;
        double scale;
    } rows[] = {{"1.5", 1.5}, {"2", 2.0}, {"0", measured}, {"-1", measured}, {"abc", measured}, {"1.5x", measured}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        test::setEnvironment("VELBRIN_DPI_SCALE", row.value);
        EXPECT_EQ(Window().dpiScale(), row.scale);
    }
    if (saved)
        test::setEnvironment("VELBRIN_DPI_SCALE", savedValue.c_str());
    else
        test::setEnvironment("VELBRIN_DPI_SCALE", nullptr);
}

} // namespace
} // namespace orvex
