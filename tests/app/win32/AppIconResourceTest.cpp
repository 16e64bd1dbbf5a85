// velbrin.exe's icon resource 101 as the system loads it: each size the shell and the window frame
// ask for comes back with AppIcon's pixels (an exact entry, not a rescaled one), alpha included.
#include "app/AppIcon.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <vector>

#ifndef VELBRIN_PROGRAM
#error "VELBRIN_PROGRAM names the velbrin.exe under test"
#endif

namespace {

// The icon's colour bitmap as top-down BGRA rows.
std::vector<uint8_t> iconPixels(HICON icon, int size)
{
    ICONINFO info {};
    if (!GetIconInfo(icon, &info))
        return {};
    std::vector<uint8_t> bgra(size_t(size) * size * 4);
    BITMAPINFO format {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(nullptr);
    const int rows = info.hbmColor ? GetDIBits(dc, info.hbmColor, 0, UINT(size), bgra.data(), &format, DIB_RGB_COLORS) : 0;
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return rows == size ? bgra : std::vector<uint8_t> {};
}

TEST(AppIconResource, EverySizeIsAppIconsPicture)
{
    const HMODULE program = LoadLibraryExW(L"" VELBRIN_PROGRAM, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr) << "cannot open " << VELBRIN_PROGRAM;
    for (int size : { 16, 24, 32, 48, 64, 256 }) {
        const HICON icon = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        const std::vector<uint8_t> loaded = iconPixels(icon, size);
        DestroyIcon(icon);
        ASSERT_EQ(loaded.size(), size_t(size) * size * 4) << size;
        const orvex::Window::Icon expected = appIcon(size);
        int differing = 0;
        for (size_t p = 0; p < size_t(size) * size; ++p) {
            const uint8_t* want = &expected.rgba[p * 4];
            const uint8_t* got = &loaded[p * 4];
            if (got[3] != want[3] || (want[3] && (got[2] != want[0] || got[1] != want[1] || got[0] != want[2])))
                ++differing;
        }
        EXPECT_EQ(differing, 0) << "size " << size;
    }
    FreeLibrary(program);
}

} // namespace
