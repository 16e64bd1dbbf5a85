// Win32NativeWindow: the window class, the window's life and placement in the four modes, the
// display-mode change of exclusive fullscreen, DPI, icons, and the window procedure.
//
// Index:
//   [SECTION] Process-wide pieces (class, DPI functions, cursor, icons)
//   [SECTION] Life
//   [SECTION] Placement and looks
//   [SECTION] The loop
//   [SECTION] The window procedure
#include "engine/window/win32/Win32NativeWindow.h"

// winuser.h's hot-key flags take the names of the engine's modifier bits, which this file needs.
#undef MOD_ALT
#undef MOD_CONTROL
#undef MOD_SHIFT

#include "engine/core/win32/WideText.h"
#include "engine/window/KeyCodes.h"
#include "engine/window/win32/WglNativeContext.h"

#include <algorithm>
#include <cstring>

namespace orvex {

namespace {

// ---------------------------------------------------------------------------------------------
// [SECTION] Process-wide pieces

constexpr UINT userMessage = WM_APP;      // wParam code, lParam value
constexpr UINT calleeMessage = WM_APP + 1; // lParam Callee<void>*; WM_APP + 2 is handled alike
constexpr int appIconResource = 101;

// The per-monitor DPI functions, looked up because older systems lack them.
struct DpiFunctions {
    BOOL(WINAPI* enableNonClientDpiScaling)(HWND) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
};

template <typename Function>
void lookUp(HMODULE module, const char* name, Function& function)
{
    const FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    static_assert(sizeof function == sizeof address);
    std::memcpy(&function, &address, sizeof function);
}

const DpiFunctions& dpiFunctions()
{
    static const DpiFunctions functions = [] {
        DpiFunctions found;
        const HMODULE user32 = GetModuleHandleA("user32.dll");
        lookUp(user32, "EnableNonClientDpiScaling", found.enableNonClientDpiScaling);
        lookUp(user32, "AdjustWindowRectExForDpi", found.adjustWindowRectExForDpi);
        lookUp(user32, "GetDpiForWindow", found.getDpiForWindow);
        return found;
    }();
    return functions;
}

int systemDpi()
{
    static const int dpi = [] {
        const HDC screen = GetDC(nullptr);
        if (!screen)
            return 96;
        const int value = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

HCURSOR arrowCursor()
{
    static const HCURSOR cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    return cursor;
}

HICON applicationIcon(int width, int height)
{
    // The executable's own icon (resource 101) when it has one, else the system's.
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HANDLE icon = width > 0 ? LoadImageW(instance, MAKEINTRESOURCEW(appIconResource), IMAGE_ICON, width, height, LR_SHARED)
                            : LoadIconW(instance, MAKEINTRESOURCEW(appIconResource));
    if (!icon)
        icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    return static_cast<HICON>(icon);
}

// An icon from RGBA rows (top to bottom), as a 32-bit top-down DIB with alpha.
HICON iconFromImage(const Window::Icon& image)
{
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = image.width;
    header.bV5Height = -image.height; // top-down
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    const HDC screen = GetDC(nullptr);
    const HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!color)
        return nullptr;
    auto* out = static_cast<uint8_t*>(bits);
    const size_t pixels = size_t(image.width) * size_t(image.height);
    for (size_t i = 0; i < pixels; ++i) {
        out[i * 4 + 0] = image.rgba[i * 4 + 2];
        out[i * 4 + 1] = image.rgba[i * 4 + 1];
        out[i * 4 + 2] = image.rgba[i * 4 + 0];
        out[i * 4 + 3] = image.rgba[i * 4 + 3];
    }
    const HBITMAP mask = CreateBitmap(image.width, image.height, 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = color;
    const HICON icon = mask ? CreateIconIndirect(&info) : nullptr;
    DeleteObject(color);
    if (mask)
        DeleteObject(mask);
    return icon;
}

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        // The window object rides in the creation parameters; the bootstrap window of the GL
        // layer has none and stays with the default procedure.
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* window = reinterpret_cast<Win32NativeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return window->handleMessage(hwnd, message, wParam, lParam);
}

int heldModifierBits()
{
    const auto down = [](int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; };
    int bits = 0;
    // Either Shift sets both bits: key messages cannot tell the Shift keys apart either.
    if (down(VK_SHIFT))
        bits |= MOD_SHIFT;
    bits |= down(VK_LCONTROL) ? MOD_LEFT_CTRL : 0;
    bits |= down(VK_RCONTROL) ? MOD_RIGHT_CTRL : 0;
    bits |= down(VK_LMENU) ? MOD_LEFT_ALT : 0;
    bits |= down(VK_RMENU) ? MOD_RIGHT_ALT : 0;
    return bits;
}

LPARAM packPosition(POINT point)
{
    return LPARAM(uint32_t(uint16_t(int16_t(point.x))) | (uint32_t(uint16_t(int16_t(point.y))) << 16));
}

} // namespace

const wchar_t* Win32NativeWindow::windowClassName() { return L"OrvexEngine"; }

bool Win32NativeWindow::registerWindowClass()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_OWNDC; // one DC per window, keeping its pixel format
        windowClass.lpfnWndProc = &windowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hIcon = applicationIcon(0, 0);
        windowClass.hIconSm = applicationIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
        windowClass.lpszClassName = windowClassName();
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

UniquePtr<NativeWindow> NativeWindow::make(Window& owner) { return UniquePtr<NativeWindow>(new Win32NativeWindow(owner)); }

Win32NativeWindow::Win32NativeWindow(Window& owner)
    : NativeWindow(owner)
{
}

Win32NativeWindow::~Win32NativeWindow()
{
    destroy();
    destroyIcons();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Life

bool Win32NativeWindow::create(const Window::ContextSettings&)
{
    // The pixel format is set with the GL context (WglNativeContext); a window takes one only once.
    if (hwnd) {
        failure = "create: the native window exists already";
        return false;
    }
    if (!registerWindowClass()) {
        failure = "RegisterClassExW failed: " + systemErrorText(GetLastError());
        return false;
    }
    dpi = systemDpi();
    perMonitorDpi = false;
    const Placement placement = placementFor(mode);
    const SIZE outer = outerSizeOf(placement.client, mode);
    const int x = placement.hasPosition ? placement.position.x : CW_USEDEFAULT;
    const int y = placement.hasPosition ? placement.position.y : CW_USEDEFAULT;
    const HWND created = CreateWindowExW(0, windowClassName(), toWide(title).c_str(), styleOf(mode), x, y, outer.cx,
                                         outer.cy, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!created) {
        failure = "CreateWindowExW failed: " + systemErrorText(GetLastError());
        return false;
    }
    hwnd = created;
    hdc = GetDC(hwnd);
    if (!hdc) {
        failure = "GetDC failed: " + systemErrorText(GetLastError());
        DestroyWindow(hwnd);
        return false;
    }
    postTarget.store(hwnd);
    applyIcon();
    // The window may have opened on a display of another DPI than the system's: the outer size
    // was computed for the wrong one.
    const DpiFunctions& functions = dpiFunctions();
    if (perMonitorDpi && functions.getDpiForWindow) {
        const int own = int(functions.getDpiForWindow(hwnd));
        if (own > 0 && own != dpi) {
            dpi = own;
            place(mode, true, nullptr);
        }
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    windowCreated({{int(client.right - client.left), int(client.bottom - client.top)}});
    return true;
}

UniquePtr<NativeContext> Win32NativeWindow::createContext(const Window::ContextSettings& settings)
{
    if (!hwnd) {
        failure = "createContext: the native window does not exist";
        return nullptr;
    }
    UniquePtr<WglNativeContext> context = WglNativeContext::create(*this, settings, failure);
    if (context)
        contexts.push_back(context.get());
    return context;
}

void Win32NativeWindow::forgetContext(WglNativeContext* context) { std::erase(contexts, context); }

void Win32NativeWindow::show()
{
    if (windowState() != CREATED)
        return;
    // The frame drawn while hidden goes to the front buffer before and after the window maps,
    // so the first thing seen is that frame and not an empty client area.
    if (!contexts.empty() && !pendingSwap) {
        SwapBuffers(hdc);
        pendingSwap = true;
    }
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    swapPending();
}

void Win32NativeWindow::hide()
{
    if (windowState() < SHOWN)
        return;
    restoreDisplayMode();
    ShowWindow(hwnd, SW_HIDE);
    inputHidden(); // in case the system sent no WM_SHOWWINDOW
}

void Win32NativeWindow::destroy()
{
    if (!hwnd)
        return;
    restoreDisplayMode();
    postTarget.store(nullptr);
    // WM_DESTROY reports destroyed() and releases the contexts; WM_NCDESTROY forgets the handle.
    DestroyWindow(hwnd);
}

void Win32NativeWindow::destroyIcons()
{
    if (bigIcon)
        DestroyIcon(bigIcon);
    bigIcon = nullptr;
    smallIcon = nullptr; // the same icon, scaled by the system
}

void Win32NativeWindow::swapPending()
{
    if (!pendingSwap)
        return;
    pendingSwap = false;
    if (hdc && !contexts.empty())
        SwapBuffers(hdc);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Placement and looks

DWORD Win32NativeWindow::styleOf(int windowMode) const
{
    switch (windowMode) {
    case Window::MODE_FIXED: return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    case Window::MODE_RESIZABLE: return WS_OVERLAPPEDWINDOW;
    default: return WS_POPUP | WS_MINIMIZEBOX;
    }
}

SIZE Win32NativeWindow::outerSizeOf(SIZE client, int windowMode) const
{
    RECT rect{0, 0, std::max(client.cx, 1L), std::max(client.cy, 1L)};
    const DpiFunctions& functions = dpiFunctions();
    if (perMonitorDpi && functions.adjustWindowRectExForDpi)
        functions.adjustWindowRectExForDpi(&rect, styleOf(windowMode), FALSE, 0, UINT(dpi));
    else
        AdjustWindowRect(&rect, styleOf(windowMode), FALSE);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring Win32NativeWindow::displayDeviceName() const
{
    if (display >= 0) {
        // The display-th display attached to the desktop, in the system's order.
        DISPLAY_DEVICEW device{};
        device.cb = sizeof device;
        int index = 0;
        for (DWORD i = 0; EnumDisplayDevicesW(nullptr, i, &device, 0); ++i) {
            if (!(device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP))
                continue;
            if (index++ == display)
                return device.DeviceName;
        }
    }
    if (hwnd) {
        MONITORINFOEXW info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info))
            return info.szDevice;
    }
    return std::wstring(); // the primary display
}

Win32NativeWindow::Placement Win32NativeWindow::placementFor(int windowMode)
{
    Placement placement;
    placement.client = {std::max(requestedSize[0], 1), std::max(requestedSize[1], 1)};
    if (windowMode < Window::MODE_BORDERLESS) {
        // A bordered window is never made smaller than the smallest size the user may drag to.
        placement.client.cx = std::max<LONG>(placement.client.cx, minimumSize[0]);
        placement.client.cy = std::max<LONG>(placement.client.cy, minimumSize[1]);
        return placement;
    }
    const std::wstring name = displayDeviceName();
    DEVMODEW current{};
    current.dmSize = sizeof current;
    if (!EnumDisplaySettingsW(name.empty() ? nullptr : name.c_str(), ENUM_CURRENT_SETTINGS, &current)) {
        current = DEVMODEW{};
        current.dmSize = sizeof current;
        if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current))
            return placement;
    }
    POINT origin{0, 0};
    if (current.dmFields & DM_POSITION)
        origin = {current.dmPosition.x, current.dmPosition.y};
    const SIZE resolution{LONG(current.dmPelsWidth), LONG(current.dmPelsHeight)};
    placement.hasPosition = true;
    placement.position = origin;
    if (windowMode == Window::MODE_BORDERLESS) {
        if (fillDisplay) {
            placement.client = resolution;
        } else {
            placement.position.x += (resolution.cx - placement.client.cx) / 2;
            placement.position.y += (resolution.cy - placement.client.cy) / 2;
        }
    }
    return placement;
}

void Win32NativeWindow::applyMode(int previousMode, bool sizeChanged) { place(previousMode, sizeChanged, nullptr); }

void Win32NativeWindow::place(int previousMode, bool sizeChanged, const RECT* suggested)
{
    const bool modeChanged = previousMode != mode;
    // Leaving exclusive fullscreen, or moving it to another display, gives the display its own
    // mode back first; mode 3 sets the new one at the end.
    restoreDisplayMode();
    Placement placement = placementFor(mode);
    if (suggested && mode < Window::MODE_BORDERLESS) {
        placement.hasPosition = true;
        placement.position = {suggested->left, suggested->top};
    }
    if (modeChanged) {
        const DWORD visible = IsWindowVisible(hwnd) ? WS_VISIBLE : 0;
        SetWindowLongW(hwnd, GWL_STYLE, LONG(styleOf(mode) | visible));
    }
    const SIZE outer = outerSizeOf(placement.client, mode);
    WINDOWPLACEMENT shown{};
    shown.length = sizeof shown;
    if (GetWindowPlacement(hwnd, &shown)) {
        const bool minimisedNow = shown.showCmd == SW_SHOWMINIMIZED || shown.showCmd == SW_MINIMIZE ||
                                  shown.showCmd == SW_SHOWMINNOACTIVE;
        const bool fullscreenChanged = (previousMode >= Window::MODE_BORDERLESS) != (mode >= Window::MODE_BORDERLESS);
        if (minimisedNow && !fullscreenChanged) {
            // Only the size it will have when restored changes.
            if (sizeChanged || modeChanged) {
                shown.rcNormalPosition.right = shown.rcNormalPosition.left + outer.cx;
                shown.rcNormalPosition.bottom = shown.rcNormalPosition.top + outer.cy;
                SetWindowPlacement(hwnd, &shown);
            }
        } else {
            if (minimisedNow || shown.showCmd == SW_SHOWMAXIMIZED) {
                shown.showCmd = SW_RESTORE;
                SetWindowPlacement(hwnd, &shown);
            }
            UINT flags = SWP_NOACTIVATE;
            flags |= placement.hasPosition ? 0 : SWP_NOMOVE;
            // A bordered window keeps the size the user gave it unless a size was asked for; a
            // borderless one always takes the size its display and fill setting give it.
            const bool keepSize = !sizeChanged && !modeChanged && !suggested && mode < Window::MODE_BORDERLESS;
            flags |= keepSize ? SWP_NOSIZE : 0;
            flags |= modeChanged ? SWP_FRAMECHANGED : 0;
            // Exclusive fullscreen stays above everything; leaving it must drop that again.
            HWND order = HWND_TOP;
            if (mode == Window::MODE_FULLSCREEN && previousMode != Window::MODE_FULLSCREEN)
                order = HWND_TOPMOST;
            else if (previousMode == Window::MODE_FULLSCREEN && mode != Window::MODE_FULLSCREEN)
                order = HWND_NOTOPMOST;
            SetWindowPos(hwnd, order, placement.position.x, placement.position.y, outer.cx, outer.cy, flags);
        }
    }
    if (clipCursorWanted)
        clipCursor();
    if (mode == Window::MODE_FULLSCREEN)
        enterDisplayMode();
}

void Win32NativeWindow::enterDisplayMode()
{
    if (mode != Window::MODE_FULLSCREEN || displayModeChanged)
        return;
    DEVMODEW wanted{};
    wanted.dmSize = sizeof wanted;
    wanted.dmPelsWidth = DWORD(std::max(requestedSize[0], 1));
    wanted.dmPelsHeight = DWORD(std::max(requestedSize[1], 1));
    wanted.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const std::wstring name = displayDeviceName();
    // A refused mode reports nothing: the window stays on the display's own mode.
    if (ChangeDisplaySettingsExW(name.empty() ? nullptr : name.c_str(), &wanted, nullptr, CDS_FULLSCREEN, nullptr) ==
        DISP_CHANGE_SUCCESSFUL) {
        displayModeChanged = true;
        displayModeDevice = name;
    }
    if (windowState() == FOCUSED) {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        ClipCursor(&rect);
    }
}

void Win32NativeWindow::restoreDisplayMode()
{
    ClipCursor(nullptr);
    if (!displayModeChanged)
        return;
    displayModeChanged = false;
    // No mode and no flags: back to the mode in the registry, the one before our change.
    ChangeDisplaySettingsExW(displayModeDevice.empty() ? nullptr : displayModeDevice.c_str(), nullptr, nullptr, 0,
                             nullptr);
}

void Win32NativeWindow::clipCursor()
{
    if (windowState() != FOCUSED)
        return;
    RECT rect{};
    GetClientRect(hwnd, &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ClientToScreen(hwnd, &corners[0]);
    ClientToScreen(hwnd, &corners[1]);
    rect = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    ClipCursor(&rect);
}

void Win32NativeWindow::applyTitle() { SetWindowTextW(hwnd, toWide(title).c_str()); }

void Win32NativeWindow::applyMinimumSize()
{
    // WM_GETMINMAXINFO reads the record for the user's dragging; a bordered window that is
    // already smaller grows to the minimum now.
    const Vector<int, 2> now = clientSize();
    if (mode >= Window::MODE_BORDERLESS || (now[0] >= minimumSize[0] && now[1] >= minimumSize[1]))
        return;
    const SIZE outer = outerSizeOf({std::max(now[0], minimumSize[0]), std::max(now[1], minimumSize[1])}, mode);
    SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32NativeWindow::applyIcon()
{
    destroyIcons();
    const bool hasImage = icon.width > 0 && icon.height > 0 &&
                          icon.rgba.size() >= size_t(icon.width) * size_t(icon.height) * 4;
    if (hasImage) {
        bigIcon = iconFromImage(icon);
        smallIcon = bigIcon;
    }
    const HICON big = bigIcon ? bigIcon : applicationIcon(0, 0);
    const HICON small = smallIcon ? smallIcon
                                  : applicationIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

double Win32NativeWindow::queryDpiScale() { return (hwnd ? dpi : systemDpi()) / 96.0; }

void Win32NativeWindow::setCapture(bool captured)
{
    if (!hwnd)
        return;
    if (captured)
        SetCapture(hwnd);
    else if (GetCapture() == hwnd)
        ReleaseCapture();
}

void Win32NativeWindow::onActivate(bool active, bool minimisedNow)
{
    if (active) {
        if (minimisedNow)
            return;
        if (mode == Window::MODE_FULLSCREEN)
            enterDisplayMode();
        inputFocus(true, heldModifierBits());
        if (clipCursorWanted)
            clipCursor();
        return;
    }
    // Exclusive fullscreen gives the display back and gets out of the way while inactive.
    restoreDisplayMode();
    if (mode == Window::MODE_FULLSCREEN)
        ShowWindow(hwnd, SW_MINIMIZE);
    inputFocus(false, 0);
}

void Win32NativeWindow::onDpiChanged(int newDpi, const RECT* suggested)
{
    if (newDpi <= 0 || newDpi == dpi)
        return;
    dpi = newDpi;
    inputDisplayChanged();
    if (!suggested)
        return;
    if (mode == Window::MODE_FIXED) {
        // The same client size, with the frame of the new DPI, where the system suggests.
        place(mode, true, suggested);
    } else if (mode == Window::MODE_RESIZABLE) {
        // The system's suggestion keeps the window's apparent size on the new display.
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// ---------------------------------------------------------------------------------------------
// [SECTION] The loop

void Win32NativeWindow::post(Callee<void>* callee)
{
    const HWND target = postTarget.load();
    // Addressed to the window, so a callee still queued when the window goes is dropped with it.
    if (callee && target)
        PostMessageW(target, calleeMessage, 0, reinterpret_cast<LPARAM>(callee));
}

void Win32NativeWindow::postUserMessage(uintptr_t code, intptr_t value)
{
    if (const HWND target = postTarget.load())
        PostMessageW(target, userMessage, WPARAM(code), LPARAM(value));
}

bool Win32NativeWindow::dispatchNext()
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT) {
        // Someone asked the thread to quit (PostQuitMessage): the application decides.
        inputCloseRequest();
        return true;
    }
    TranslateMessage(&message); // makes WM_CHAR from key messages
    DispatchMessageW(&message);
    return true;
}

void Win32NativeWindow::waitForMessage()
{
    // MWMO_INPUTAVAILABLE: also wake for messages that were queued but already seen by a peek.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] The window procedure

LRESULT Win32NativeWindow::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE: {
        hwnd = window;
        const DpiFunctions& functions = dpiFunctions();
        if (functions.enableNonClientDpiScaling && functions.adjustWindowRectExForDpi)
            perMonitorDpi = functions.enableNonClientDpiScaling(window) != FALSE;
        break;
    }
    case WM_DESTROY:
        if (windowState() != NONE) // not for a window whose creation failed half-way
            inputDestroyed();
        // The GL contexts go before their window's DC does.
        for (WglNativeContext* context : contexts)
            context->windowDestroyed();
        contexts.clear();
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        hwnd = nullptr;
        hdc = nullptr;
        postTarget.store(nullptr);
        trackingLeave = false;
        pendingSwap = false;
        input = win32::InputState();
        windowGone();
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_CLOSE:
        inputCloseRequest(); // the application decides; the window stays
        return 0;
    case WM_SHOWWINDOW:
        if (wParam)
            inputShown();
        else
            inputHidden();
        break;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            inputMinimised();
        } else {
            inputRestored();
            inputResized(LOWORD(lParam), HIWORD(lParam));
            if (clipCursorWanted)
                clipCursor();
            // While the user drags the frame, the system's own modal loop runs instead of ours and
            // delivers only WM_PAINT: the whole new client area has to be drawn through it.
            InvalidateRect(window, nullptr, FALSE);
        }
        break;
    case WM_ACTIVATE: onActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0); break;
    case WM_PAINT:
        ValidateRect(window, nullptr);
        paintNow();
        return 0;
    case WM_ERASEBKGND: return 1; // GL covers the whole client area
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(arrowCursor());
            return TRUE;
        }
        break;
    case WM_GETMINMAXINFO:
        if (minimumSize[0] > 0 || minimumSize[1] > 0) {
            const SIZE outer = outerSizeOf({minimumSize[0], minimumSize[1]}, mode);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {outer.cx, outer.cy};
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        if (clipCursorWanted)
            clipCursor();
        else if (mode == Window::MODE_FULLSCREEN && displayModeChanged && windowState() == FOCUSED) {
            RECT rect{};
            GetWindowRect(window, &rect);
            ClipCursor(&rect);
        }
        break;
    }
    case WM_NCACTIVATE:
        if (mode == Window::MODE_BORDERLESS)
            InvalidateRect(window, nullptr, FALSE);
        swapPending();
        break;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_KEYMENU: return 0; // F10 and a lone Alt would otherwise freeze the loop in menu mode
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
            if (blockScreenSaver && !IsIconic(window))
                return 0;
            break;
        default: break;
        }
        break;
    case WM_MOUSEMOVE:
        if (!trackingLeave) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = window;
            trackingLeave = TrackMouseEvent(&track) != FALSE;
        }
        win32::translateInput(*this, input, message, wParam, lParam);
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave = false;
        inputMouseLeft();
        return 0;
    case WM_MOUSEWHEEL: {
        // The wheel reports screen coordinates, signed on multi-display desktops.
        POINT point{int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam))};
        ScreenToClient(window, &point);
        win32::translateInput(*this, input, message, wParam, packPosition(point));
        return 0;
    }
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        win32::translateInput(*this, input, message, wParam, lParam);
        return TRUE; // as the X-button messages ask
    case WM_UNICHAR:
        if (wParam == UNICODE_NOCHAR)
            return TRUE; // yes, send code points this way
        win32::translateInput(*this, input, message, wParam, lParam);
        return 0;
    case WM_DPICHANGED: onDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return 0;
    case userMessage: inputUserMessage(uintptr_t(wParam), intptr_t(lParam)); return 0;
    case calleeMessage:
    case calleeMessage + 1: inputCallee(reinterpret_cast<Callee<void>*>(lParam)); return 0;
    default:
        switch (win32::translateInput(*this, input, message, wParam, lParam)) {
        case win32::InputResult::HANDLED: return 0;
        case win32::InputResult::PASS_THROUGH:
        case win32::InputResult::NOT_INPUT: break;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace orvex
