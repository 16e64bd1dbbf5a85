// WglNativeContext: the bootstrap context, the ARB pixel format, context creation, swaps and
// entry-point look-up.
#include "engine/window/win32/WglNativeContext.h"

#include "engine/core/win32/WideText.h"
#include "engine/window/win32/Win32NativeWindow.h"

#include <GL/gl.h>
#include <GL/wglext.h>

#include <cstring>

namespace orvex {

namespace {

template <typename Function>
Function functionAt(PROC address)
{
    Function function;
    static_assert(sizeof function == sizeof address);
    std::memcpy(&function, &address, sizeof function);
    return function;
}

// What the bootstrap context found; the window and context themselves live until exit.
struct WglExtensions {
    PFNWGLCHOOSEPIXELFORMATARBPROC choosePixelFormat = nullptr;
    PFNWGLSWAPINTERVALEXTPROC swapInterval = nullptr;
    PFNWGLCREATECONTEXTATTRIBSARBPROC createContextAttribs = nullptr;
    std::string failure; // empty when the bootstrap context was made
};

std::string lastErrorText(const char* call) { return std::string(call) + " failed: " + systemErrorText(GetLastError()); }

WglExtensions bootstrap()
{
    WglExtensions found;
    if (!Win32NativeWindow::registerWindowClass()) {
        found.failure = lastErrorText("RegisterClassExW");
        return found;
    }
    // No window object rides along: the class's procedure leaves this window to the default one.
    const HWND window = CreateWindowExW(0, Win32NativeWindow::windowClassName(), L"", WS_POPUP, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 32, 32, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        found.failure = lastErrorText("CreateWindowExW (GL bootstrap window)");
        return found;
    }
    const HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR descriptor{};
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 32;
    descriptor.cRedBits = descriptor.cGreenBits = descriptor.cBlueBits = descriptor.cAlphaBits = 8;
    descriptor.cDepthBits = 24;
    descriptor.cStencilBits = 8;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    const int format = dc ? ChoosePixelFormat(dc, &descriptor) : 0;
    if (!format || !SetPixelFormat(dc, format, &descriptor)) {
        found.failure = lastErrorText("ChoosePixelFormat/SetPixelFormat (GL bootstrap window)");
        return found;
    }
    const HGLRC context = wglCreateContext(dc);
    if (!context || !wglMakeCurrent(dc, context)) {
        found.failure = lastErrorText("wglCreateContext (GL bootstrap context)");
        return found;
    }
    found.choosePixelFormat = functionAt<PFNWGLCHOOSEPIXELFORMATARBPROC>(wglGetProcAddress("wglChoosePixelFormatARB"));
    found.swapInterval = functionAt<PFNWGLSWAPINTERVALEXTPROC>(wglGetProcAddress("wglSwapIntervalEXT"));
    found.createContextAttribs =
        functionAt<PFNWGLCREATECONTEXTATTRIBSARBPROC>(wglGetProcAddress("wglCreateContextAttribsARB"));
    return found;
}

const WglExtensions& wglExtensions()
{
    static const WglExtensions extensions = bootstrap();
    return extensions;
}

int choosePixelFormat(const WglExtensions& wgl, HDC dc, const Window::ContextSettings& settings)
{
    const int attributes[] = {
        WGL_DRAW_TO_WINDOW_ARB, 1,
        WGL_ACCELERATION_ARB, WGL_FULL_ACCELERATION_ARB,
        WGL_SUPPORT_OPENGL_ARB, 1,
        WGL_PIXEL_TYPE_ARB, WGL_TYPE_RGBA_ARB,
        WGL_COLOR_BITS_ARB, 24,
        WGL_ALPHA_BITS_ARB, 8,
        WGL_DEPTH_BITS_ARB, 24,
        WGL_STENCIL_BITS_ARB, 8,
        WGL_DOUBLE_BUFFER_ARB, settings.doubleBuffered ? 1 : 0,
        WGL_SAMPLE_BUFFERS_ARB, settings.samples != 0 ? 1 : 0,
        WGL_SAMPLES_ARB, settings.samples,
        WGL_FRAMEBUFFER_SRGB_CAPABLE_ARB, 1,
        0,
    };
    int format = 0;
    UINT count = 0;
    if (!wgl.choosePixelFormat(dc, attributes, nullptr, 1, &format, &count) || count == 0)
        return 0;
    return format;
}

// wglGetProcAddress answers only for what is not in opengl32.dll's own export table (OpenGL 1.1),
// and some drivers return small non-null values instead of null for names they lack.
bool isMissing(PROC address)
{
    const auto value = reinterpret_cast<intptr_t>(address);
    return value == 0 || value == 1 || value == 2 || value == 3 || value == -1;
}

} // namespace

UniquePtr<WglNativeContext> WglNativeContext::create(Win32NativeWindow& owner, const Window::ContextSettings& settings,
                                                     std::string& failure)
{
    const WglExtensions& wgl = wglExtensions();
    if (!wgl.failure.empty()) {
        failure = wgl.failure;
        return nullptr;
    }
    const HDC dc = owner.deviceContext();
    if (!dc) {
        failure = "createContext: the window has no device context";
        return nullptr;
    }
    // Without swap control the requested vsync cannot be honoured: refused like a missing format.
    if (!wgl.choosePixelFormat || !wgl.swapInterval) {
        failure = "the OpenGL driver offers no wglChoosePixelFormatARB or no wglSwapIntervalEXT";
        return nullptr;
    }
    const int format = choosePixelFormat(wgl, dc, settings);
    if (!format) {
        failure = "wglChoosePixelFormatARB found no double-buffered RGBA format with depth and stencil";
        return nullptr;
    }
    // A window's pixel format is set once; a second context on it shares the first one's.
    const int current = GetPixelFormat(dc);
    PIXELFORMATDESCRIPTOR descriptor{};
    DescribePixelFormat(dc, format, sizeof descriptor, &descriptor);
    if (current != format && !SetPixelFormat(dc, format, &descriptor)) {
        failure = lastErrorText("SetPixelFormat");
        return nullptr;
    }
    // No version or profile: the driver's default context. The loader enforces OpenGL 3.3.
    const int noAttributes[] = {0};
    const HGLRC context =
        wgl.createContextAttribs ? wgl.createContextAttribs(dc, nullptr, noAttributes) : wglCreateContext(dc);
    if (!context) {
        failure = lastErrorText(wgl.createContextAttribs ? "wglCreateContextAttribsARB" : "wglCreateContext");
        return nullptr;
    }
    if (!wglMakeCurrent(dc, context)) {
        failure = lastErrorText("wglMakeCurrent");
        wglDeleteContext(context);
        return nullptr;
    }
    wgl.swapInterval(settings.vsync ? 1 : 0);
    return UniquePtr<WglNativeContext>(new WglNativeContext(owner, dc, context));
}

WglNativeContext::WglNativeContext(Win32NativeWindow& owner, HDC hdc, HGLRC context)
    : owner(&owner)
    , hdc(hdc)
    , context(context)
{
}

WglNativeContext::~WglNativeContext()
{
    if (!owner)
        return;
    release();
    owner->forgetContext(this);
}

void WglNativeContext::release()
{
    if (wglGetCurrentContext() == context)
        wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    context = nullptr;
}

void WglNativeContext::windowDestroyed()
{
    release();
    owner = nullptr;
    hdc = nullptr;
}

bool WglNativeContext::makeCurrent() { return owner && wglMakeCurrent(hdc, context); }

void WglNativeContext::swapBuffers()
{
    if (owner)
        SwapBuffers(hdc);
}

int WglNativeContext::clientWidth() const { return owner ? owner->clientSize()[0] : 0; }

int WglNativeContext::clientHeight() const { return owner ? owner->clientSize()[1] : 0; }

void* WglNativeContext::procAddress(const char* name)
{
    PROC address = wglGetProcAddress(name);
    if (isMissing(address)) {
        static const HMODULE openGl = LoadLibraryW(L"opengl32.dll");
        address = openGl ? GetProcAddress(openGl, name) : nullptr;
    }
    void* pointer = nullptr;
    std::memcpy(&pointer, &address, sizeof pointer);
    return pointer;
}

} // namespace orvex
