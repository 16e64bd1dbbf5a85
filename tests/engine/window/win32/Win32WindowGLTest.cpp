// The Win32 window with a real WGL context (under Wine, on an X server): context creation through
// the bootstrap context, the loader through wglGetProcAddress and opengl32.dll, a cleared pixel
// read back, the window procedure's handling of messages the shared half cannot see, DPI, and
// the clipboard's line ends. The loop itself is LoopGLTest's, which runs here too.
#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/GlLoader.h"
#include "engine/gl/NativeContext.h"
#include "engine/window/NativeWindow.h"
#include "engine/window/Window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace orvex {
namespace {

class RecordingWindow final : public Window {
public:
    using Window::Window;
    std::vector<std::string> calls;

    void closeRequested() override { calls.push_back("close"); }
    void stateChanged(int code) override { calls.push_back("state " + std::to_string(code)); }
    void characterInput(char32_t code) override { calls.push_back("char " + std::to_string(unsigned(code))); }
    void keyPressed(const KeyEvent& e) override
    {
        calls.push_back("key " + std::to_string(e.scanKey) + "/" + std::to_string(e.key));
    }
    void keyReleased(const KeyEvent& e) override
    {
        calls.push_back("released " + std::to_string(e.scanKey) + "/" + std::to_string(e.key) + " action " +
                        std::to_string(e.action));
    }
    void userMessage(uintptr_t code, intptr_t value) override
    {
        calls.push_back("user " + std::to_string(code) + " " + std::to_string(value));
    }
    void dpiChanged(double scale) override { calls.push_back("dpi " + std::to_string(scale).substr(0, 4)); }
    void destroyed() override { calls.push_back("destroyed"); }
};

HWND handleOf(const Window& window) { return static_cast<HWND>(window.platformHandle()); }

TEST(Win32WindowGLTest, ContextLoadsOpenGl33AndClearsToAColour)
{
    // Captioned windows have a minimum width of their own: stay above it.
    Window window(Window::MODE_FIXED);
    window.setSize(160, 120);
    UniquePtr<NativeContext> native = window.createNativeContext(Window::ContextSettings());
    ASSERT_TRUE(native) << window.lastError();
    EXPECT_EQ(native->clientWidth(), 160);
    EXPECT_EQ(native->clientHeight(), 120);
    std::unique_ptr<GlContext> context(createGlContext(native.get()));
    ASSERT_TRUE(context) << "loader: " << glLoadFailure();
    std::printf("GL_VERSION: %s\nGL_RENDERER: %s\n", reinterpret_cast<const char*>(gl::GetString(GL_VERSION)),
                reinterpret_cast<const char*>(gl::GetString(GL_RENDERER)));
    // A 1.1 function from opengl32.dll and a 3.0 one from wglGetProcAddress.
    EXPECT_NE(gl::ClearColor, nullptr);
    EXPECT_TRUE(gl::hasVertexArrayObjects);

    gl::Viewport(0, 0, 160, 120);
    gl::ClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    gl::Clear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[4] = {};
    gl::ReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_NEAR(pixel[0], 64, 1);
    EXPECT_NEAR(pixel[1], 128, 1);
    EXPECT_NEAR(pixel[2], 191, 1);
    EXPECT_EQ(gl::GetError(), GLenum(GL_NO_ERROR));
    native->swapBuffers();
}

TEST(Win32WindowGLTest, WindowProcedureTurnsMessagesIntoHandlers)
{
    RecordingWindow window(Window::MODE_RESIZABLE);
    ASSERT_TRUE(window.create()) << window.lastError();
    const HWND hwnd = handleOf(window);
    ASSERT_NE(hwnd, nullptr);

    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(hwnd)) << "closing is the application's decision";
    SendMessageW(hwnd, WM_KEYDOWN, VK_CONTROL, 1 | (0x1D << 16) | (1 << 24)); // right Ctrl
    SendMessageW(hwnd, WM_CHAR, 0xD83D, 1);
    SendMessageW(hwnd, WM_CHAR, 0xDE00, 1);
    SendMessageW(hwnd, WM_APP, 5, -9);
    const int dpi = int(window.dpiScale() * 96 + 0.5);
    RECT suggested{0, 0, 100, 100};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested)); // unchanged
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    window.destroyNative();
    EXPECT_FALSE(IsWindow(hwnd));

    const std::vector<std::string> expected = {"close", "key 58/58", "char 128512", "user 5 -9", "dpi 2.00",
                                               "destroyed"};
    EXPECT_EQ(window.calls, expected);
}

TEST(Win32WindowGLTest, CaptureLastsWhileAnyButtonIsHeldAndFocusLossReleasesOnce)
{
    RecordingWindow window;
    ASSERT_TRUE(window.create()) << window.lastError();
    const HWND hwnd = handleOf(window);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(hwnd, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(5, 5));
    SendMessageW(hwnd, WM_LBUTTONUP, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(GetCapture(), hwnd) << "the right button is still held";
    SendMessageW(hwnd, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(GetCapture(), nullptr);

    SendMessageW(hwnd, WM_KEYDOWN, 'A', 1 | (0x1E << 16));
    window.calls.clear();
    SendMessageW(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageW(hwnd, WM_KEYUP, 'A', 1 | (0x1E << 16) | (3u << 30));
    const std::vector<std::string> expected = {"state 5", "released 1/1 action 6"};
    EXPECT_EQ(window.calls, expected) << "one release, at the focus loss";
    window.destroyNative();
}

TEST(Win32WindowGLTest, ManifestMakesTheProcessPerMonitorDpiAware)
{
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
}

TEST(Win32WindowGLTest, FixedWindowKeepsItsClientSizeAcrossADpiChange)
{
    RecordingWindow window(Window::MODE_FIXED);
    window.setSize(300, 200);
    ASSERT_TRUE(window.create()) << window.lastError();
    const HWND hwnd = handleOf(window);
    RECT suggested{40, 30, 40 + 700, 30 + 500};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window.clientSize(), (Vector<int, 2>{{300, 200}}));
    EXPECT_EQ(window.dpiScale(), 2.0);
    RECT after{};
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left, 40);
    EXPECT_EQ(after.top, 30);
    window.destroyNative();
}

TEST(Win32WindowGLTest, BorderlessModeCoversTheDisplayAndGivesTheSizeBack)
{
    RecordingWindow window(Window::MODE_RESIZABLE);
    window.setSize(320, 240);
    ASSERT_TRUE(window.create()) << window.lastError();
    const HWND hwnd = handleOf(window);
    const Vector<int, 2> display{{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}};

    window.setMode(Window::MODE_BORDERLESS);
    EXPECT_EQ(window.clientSize(), display);
    EXPECT_FALSE(GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION);
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);

    window.setMode(Window::MODE_BORDERLESS, -1, false); // centred at the requested size
    EXPECT_EQ(window.clientSize(), (Vector<int, 2>{{320, 240}}));
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, (display[0] - 320) / 2);

    window.setMode(Window::MODE_RESIZABLE);
    EXPECT_EQ(window.clientSize(), (Vector<int, 2>{{320, 240}}));
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_THICKFRAME);
    window.destroyNative();
}

TEST(Win32WindowGLTest, ClipboardHoldsCrLfAndGivesBackLineFeeds)
{
    Window::setClipboardText("one\ntwo\r\nthree \xF0\x9F\x98\x80");
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring raw = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(raw, L"one\r\ntwo\r\nthree \xD83D\xDE00");

    std::string text;
    ASSERT_TRUE(Window::getClipboardText(text));
    EXPECT_EQ(text, "one\ntwo\nthree \xF0\x9F\x98\x80");
}

} // namespace
} // namespace orvex
