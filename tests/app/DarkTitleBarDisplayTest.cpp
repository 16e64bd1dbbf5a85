// useDarkTitleBar on a real X11 window (run under xvfb-run): the _GTK_THEME_VARIANT property reads
// "dark" as UTF8_STRING afterwards, and a null handle is a no-op. The same window names itself to
// the desktop portal as "x11:" and its id in hexadecimal.
#include "app/desktop/Desktop.h"
#include "app/desktop/linux/DesktopPortal.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

namespace {

TEST(DarkTitleBar, SetsThemeVariantProperty)
{
    useDarkTitleBar(nullptr); // no window yet: nothing happens
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        GTEST_SKIP() << "no display: " << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("dark", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        SDL_DestroyWindow(window);
        SDL_Quit();
        GTEST_SKIP() << "not an X11 window";
    }

    useDarkTitleBar(window);

    Display* display = info.info.x11.display;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display, info.info.x11.window, XInternAtom(display, "_GTK_THEME_VARIANT", False), 0, 64,
                  False, AnyPropertyType, &type, &format, &count, &remaining, &data),
        Success);
    EXPECT_EQ(type, XInternAtom(display, "UTF8_STRING", False));
    EXPECT_EQ(format, 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), "dark");
    if (data)
        XFree(data);

    char expected[32];
    std::snprintf(expected, sizeof expected, "x11:%lx", static_cast<unsigned long>(info.info.x11.window));
    EXPECT_EQ(portalParentWindow(window), expected);
    EXPECT_EQ(portalParentWindow(nullptr), "");
    SDL_DestroyWindow(window);
    SDL_Quit();
}

} // namespace
