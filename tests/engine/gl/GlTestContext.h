// GlTestContext: what every test that needs OpenGL starts from. It opens a hidden SDL window (on
// Windows, the engine's own window with WGL) with a double-buffered GL context (no version or
// profile requested), serves as that window's
// NativeContext and creates the engine's GlContext over it. GlCallCounter swaps one gl:: entry
// point for a counting function that forwards to the original, so tests can count GL calls.
// Needs a display (run under xvfb-run). Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/NativeContext.h"

#include <gtest/gtest.h>

#include <cassert>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace orvex::test {

class GlTestContext final : public NativeContext {
public:
    explicit GlTestContext(int width = 256, int height = 256);
    ~GlTestContext() override; // the GlContext first, then the native context and the window
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    // The engine's context over this window; null when the window, the native context or
    // createGlContext failed (error() says which).
    GlContext* context() const { return glContext.get(); }
    const std::string& error() const { return failure; }
    // Hands the GlContext to the caller, who must delete it before this object goes.
    std::unique_ptr<GlContext> takeContext() { return std::move(glContext); }

    // Reads the window's framebuffer (bottom-left origin). It has no alpha channel: alpha reads 255.
    std::vector<Color<unsigned char>> readPixels(int x, int y, int width, int height);
    Color<unsigned char> pixel(int x, int y) { return readPixels(x, y, 1, 1).front(); }

    // NativeContext
    bool makeCurrent() override;
    void swapBuffers() override;
    int clientWidth() const override { return width; }
    int clientHeight() const override { return height; }
    void* procAddress(const char* name) override;

    int swapCount = 0; // swapBuffers calls so far

private:
    // The platform's window and GL context: SDL_Window* and SDL_GLContext (GlTestContext.cpp), or
    // the engine's Window and NativeContext on Windows (win32/GlTestContextWin32.cpp).
    void* window = nullptr;
    void* platformContext = nullptr;
    int width;
    int height;
    std::string failure;
    std::unique_ptr<GlContext> glContext;
};

// Base of GL test fixtures: a fresh window and context per test, failing the test when the
// context cannot be created.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(gl.context(), nullptr) << "no GL context: " << gl.error(); }
    GlContext* context() const { return gl.context(); }
    GlTestContext gl;
};

namespace detail {
template <auto& Slot, typename Fn = std::remove_reference_t<decltype(Slot)>>
struct CountingSlot;

template <auto& Slot, typename R, typename... Args>
struct CountingSlot<Slot, R (*)(Args...)> {
    using Function = R (*)(Args...);
    static inline Function original = nullptr;
    static inline bool active = false;
    static inline std::vector<std::tuple<std::decay_t<Args>...>> calls;
    static R forward(Args... args)
    {
        calls.emplace_back(args...);
        if (original)
            return original(args...);
        if constexpr (!std::is_void_v<R>)
            return R();
    }
};
} // namespace detail

// Counts (and records the arguments of) the calls made through one entry point while it lives,
// still forwarding each call to the loaded function (or doing nothing when that is null):
//     GlCallCounter<gl::BlendFunc> blendFunc;
//     ...
//     EXPECT_EQ(blendFunc.count(), 1u);
//     EXPECT_EQ(std::get<0>(blendFunc.calls()[0]), GL_ONE);
// Construct it after the context exists: the loader writes the pointers when the first context
// is created and would otherwise overwrite the counting function. One counter per entry point
// at a time.
template <auto& Slot>
class GlCallCounter {
    using Counting = detail::CountingSlot<Slot>;

public:
    GlCallCounter()
    {
        assert(!Counting::active && "GlCallCounter: this entry point is already being counted");
        Counting::active = true;
        Counting::original = Slot;
        Counting::calls.clear();
        Slot = &Counting::forward;
    }
    ~GlCallCounter()
    {
        Slot = Counting::original;
        Counting::active = false;
    }
    GlCallCounter(const GlCallCounter&) = delete;
    GlCallCounter& operator=(const GlCallCounter&) = delete;

    size_t count() const { return Counting::calls.size(); }
    const auto& calls() const { return Counting::calls; }
    void reset() { Counting::calls.clear(); }
};

} // namespace orvex::test
