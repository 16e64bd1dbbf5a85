// SdlNativeWindow: the SDL window's life, its placement in the four modes, and the event pump.
#include "engine/window/sdl/SdlNativeWindow.h"

#include "engine/window/sdl/SdlInput.h"
#include "engine/window/sdl/SdlNativeContext.h"
#include "engine/window/sdl/SdlVideo.h"

#include <algorithm>

namespace orvex {

namespace {

// Windows that exist, for routing events by SDL window id.
std::vector<SdlNativeWindow*>& liveWindows()
{
    static std::vector<SdlNativeWindow*> windows;
    return windows;
}

SdlNativeWindow* findWindow(Uint32 id)
{
    for (SdlNativeWindow* window : liveWindows()) {
        if (window->handle() && SDL_GetWindowID(window->handle()) == id)
            return window;
    }
    return nullptr;
}

void setFramebufferAttributes(const Window::ContextSettings& settings)
{
    // No version or profile: the driver's default context (a compatibility profile on Mesa)
    // accepts both GLSL 1.20 and 3.30 programs.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, settings.doubleBuffered ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, settings.samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, std::max(settings.samples, 0));
}

} // namespace

UniquePtr<NativeWindow> NativeWindow::make(Window& owner) { return UniquePtr<NativeWindow>(new SdlNativeWindow(owner)); }

SdlNativeWindow::SdlNativeWindow(Window& owner)
    : NativeWindow(owner)
{
}

SdlNativeWindow::~SdlNativeWindow() { destroy(); }

// ---------------------------------------------------------------------------------------------
// [SECTION] Life

bool SdlNativeWindow::create(const Window::ContextSettings& settings)
{
    if (window) {
        failure = "create: the native window exists already";
        return false;
    }
    if (!sdl::glLibraryReady(&failure))
        return false;
    setFramebufferAttributes(settings);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (mode == Window::MODE_RESIZABLE)
        flags |= SDL_WINDOW_RESIZABLE;
    if (mode >= Window::MODE_BORDERLESS)
        flags |= SDL_WINDOW_BORDERLESS;
    window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              std::max(requestedSize[0], 1), std::max(requestedSize[1], 1), flags);
    if (!window) {
        failure = std::string("SDL_CreateWindow failed: ") + SDL_GetError();
        return false;
    }
    windowId.store(SDL_GetWindowID(window));
    liveWindows().push_back(this);
    applyIcon();
    applyMinimumSize();
    if (mode >= Window::MODE_BORDERLESS)
        placeWindow(-1, true);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    windowCreated({{width, height}});
    return true;
}

UniquePtr<NativeContext> SdlNativeWindow::createContext(const Window::ContextSettings& settings)
{
    if (!window) {
        failure = "createContext: the native window does not exist";
        return nullptr;
    }
    UniquePtr<SdlNativeContext> context = SdlNativeContext::create(*this, settings.vsync, failure);
    if (context)
        contexts.push_back(context.get());
    return context;
}

void SdlNativeWindow::forgetContext(SdlNativeContext* context) { std::erase(contexts, context); }

void SdlNativeWindow::show()
{
    if (windowState() != CREATED)
        return;
    SDL_ShowWindow(window);
    // Reported now, as the native show does elsewhere; the queued SHOWN event then finds the
    // state already changed and is ignored.
    inputShown();
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED))
        inputRestored();
    // The frame drawn while hidden is not kept by every X server: draw it again once mapped.
    requestRedraw();
}

void SdlNativeWindow::hide()
{
    if (windowState() < SHOWN)
        return;
    SDL_HideWindow(window); // leaves a fullscreen display mode too
    inputHidden();
}

void SdlNativeWindow::destroy()
{
    if (!window)
        return;
    inputDestroyed();
    for (SdlNativeContext* context : contexts)
        context->windowDestroyed();
    contexts.clear();
    std::erase(liveWindows(), this);
    // An event taken while waiting that is not this window's own still has to be delivered.
    if (waited) {
        if (sdl::windowIdOf(*waited) != windowId.load())
            SDL_PushEvent(&*waited);
        waited.reset();
    }
    windowId.store(0);
    SDL_DestroyWindow(window);
    window = nullptr;
    windowGone();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Placement and looks

int SdlNativeWindow::displayIndex() const
{
    if (display >= 0 && display < SDL_GetNumVideoDisplays())
        return display;
    const int own = window ? SDL_GetWindowDisplayIndex(window) : 0;
    return own < 0 ? 0 : own;
}

void SdlNativeWindow::applyMode(int previousMode, bool sizeChanged)
{
    placeWindow(previousMode, sizeChanged || previousMode != mode);
    applyMinimumSize();
}

void SdlNativeWindow::placeWindow(int previousMode, bool resize)
{
    const int index = displayIndex();
    const int width = std::max(requestedSize[0], 1);
    const int height = std::max(requestedSize[1], 1);
    SDL_Rect bounds{};
    SDL_GetDisplayBounds(index, &bounds);
    if (previousMode == Window::MODE_FULLSCREEN)
        SDL_SetWindowFullscreen(window, 0); // gives the display its own mode back
    switch (mode) {
    case Window::MODE_BORDERLESS:
        SDL_SetWindowResizable(window, SDL_FALSE);
        SDL_SetWindowBordered(window, SDL_FALSE);
        if (fillDisplay) {
            SDL_SetWindowPosition(window, bounds.x, bounds.y);
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            SDL_SetWindowFullscreen(window, 0);
            SDL_SetWindowSize(window, width, height);
            SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED_DISPLAY(index), SDL_WINDOWPOS_CENTERED_DISPLAY(index));
        }
        break;
    case Window::MODE_FULLSCREEN: {
        SDL_SetWindowResizable(window, SDL_FALSE);
        SDL_SetWindowBordered(window, SDL_FALSE);
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_DisplayMode wanted{};
        wanted.w = width;
        wanted.h = height;
        SDL_DisplayMode closest{};
        if (SDL_GetClosestDisplayMode(index, &wanted, &closest))
            SDL_SetWindowDisplayMode(window, &closest);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
        break;
    }
    default:
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowBordered(window, SDL_TRUE);
        SDL_SetWindowResizable(window, mode == Window::MODE_RESIZABLE ? SDL_TRUE : SDL_FALSE);
        if (resize)
            SDL_SetWindowSize(window, width, height);
        break;
    }
}

void SdlNativeWindow::applyTitle() { SDL_SetWindowTitle(window, title.c_str()); }

void SdlNativeWindow::applyMinimumSize()
{
    // SDL takes no zero minimum; one pixel is the same as none.
    SDL_SetWindowMinimumSize(window, std::max(minimumSize[0], 1), std::max(minimumSize[1], 1));
}

void SdlNativeWindow::applyIcon()
{
    // SDL cannot take an icon back: without one, whatever the window shows stays.
    if (icon.width <= 0 || icon.height <= 0 || icon.rgba.size() < size_t(icon.width) * size_t(icon.height) * 4)
        return;
    // SDL only reads the pixels of a surface made over them.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(icon.rgba.data(), icon.width, icon.height, 32,
                                                              icon.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface)
        return;
    SDL_SetWindowIcon(window, surface);
    SDL_FreeSurface(surface);
}

double SdlNativeWindow::queryDpiScale()
{
    if (!sdl::videoReady())
        return 1;
    float vertical = 0;
    if (SDL_GetDisplayDPI(displayIndex(), nullptr, nullptr, &vertical) != 0)
        return 1;
    // Servers without a physical screen size (Xvfb, some projectors) report nothing or nonsense.
    if (!(vertical >= 48 && vertical <= 960))
        return 1;
    return vertical / 96.0;
}

void SdlNativeWindow::setCapture(bool captured)
{
    if (window)
        SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Events

void SdlNativeWindow::post(Callee<void>* callee)
{
    const Uint32 id = windowId.load();
    if (!callee || id == 0)
        return;
    // Addressed to this window, so that a callee still queued when the window goes is dropped
    // with it instead of running (perhaps dangling) in a later window's loop. SDL never reuses
    // a window id.
    SDL_Event event{};
    event.type = sdl::userEventTypes().callee;
    event.user.windowID = id;
    event.user.data1 = callee;
    SDL_PushEvent(&event);
}

void SdlNativeWindow::postUserMessage(uintptr_t code, intptr_t value)
{
    const Uint32 id = windowId.load();
    if (id == 0)
        return;
    SDL_Event event{};
    event.type = sdl::userEventTypes().message;
    event.user.windowID = id;
    event.user.data1 = reinterpret_cast<void*>(code);
    event.user.data2 = reinterpret_cast<void*>(value);
    SDL_PushEvent(&event);
}

bool SdlNativeWindow::dispatchNext()
{
    SDL_Event event;
    if (waited) {
        event = *waited;
        waited.reset();
    } else if (!SDL_PollEvent(&event)) {
        return false;
    }
    NativeWindow* target = this;
    if (const Uint32 id = sdl::windowIdOf(event)) {
        target = findWindow(id);
        if (!target) // a window destroyed since
            return true;
    }
    sdl::translateEvent(event, *target);
    return true;
}

void SdlNativeWindow::waitForMessage()
{
    if (waited)
        return;
    SDL_Event event;
    if (SDL_WaitEvent(&event))
        waited = event;
}

} // namespace orvex
