// Window: the application-facing calls, each handed to the backend's NativeWindow record, which
// keeps the state and calls the handlers back.
#include "engine/window/Window.h"

#include "engine/gl/NativeContext.h"
#include "engine/window/NativeWindow.h"

namespace orvex {

Window::Window(int mode)
    : nativeWindow(NativeWindow::make(*this))
{
    nativeWindow->setMode(mode, {{-1, -1}}, -1, true);
}

Window::~Window()
{
    // While this object is still a Window: destroyed() reaches the base handler only, since the
    // subclass is gone already; run() destroys the native window earlier, with it still there.
    nativeWindow.reset();
}

void Window::setMode(int mode, int display, bool fillDisplay)
{
    nativeWindow->setMode(mode, {{-1, -1}}, display, fillDisplay);
}

void Window::setSize(int width, int height)
{
    NativeWindow& native = *nativeWindow;
    native.setMode(native.currentMode(), {{width, height}}, native.targetDisplay(), native.fillsDisplay());
}

void Window::setTitle(std::string_view utf8) { nativeWindow->setTitle(utf8); }
void Window::setMinimumSize(int width, int height) { nativeWindow->setMinimumSize(width, height); }
void Window::setIcon(const Icon* icon) { nativeWindow->setIcon(icon); }
double Window::dpiScale() const { return nativeWindow->dpiScale(); }
Vector<int, 2> Window::clientSize() const { return nativeWindow->clientSize(); }

bool Window::create() { return nativeWindow->create(ContextSettings()); }

void* Window::platformHandle() const { return nativeWindow->platformHandle(); }

UniquePtr<NativeContext> Window::createNativeContext(const ContextSettings& settings)
{
    if (!exists() && !nativeWindow->create(settings))
        return nullptr;
    return nativeWindow->createContext(settings);
}

void Window::show() { nativeWindow->show(); }
void Window::hide() { nativeWindow->hide(); }
void Window::destroyNative() { nativeWindow->destroy(); }
bool Window::exists() const { return nativeWindow->windowState() != NativeWindow::NONE; }
const std::string& Window::lastError() const { return nativeWindow->lastError(); }

void Window::requestRedraw() { nativeWindow->requestRedraw(); }
void Window::paintNow() { nativeWindow->paintNow(); }

void Window::post(Callee<void>* callee) { nativeWindow->post(callee); }
void Window::postUserMessage(uintptr_t code, intptr_t value) { nativeWindow->postUserMessage(code, value); }

void Window::showMessage(int kind, std::string_view title, std::string_view text)
{
    NativeWindow::showMessage(kind, title, text);
}

bool Window::getClipboardText(std::string& out) { return NativeWindow::getClipboardText(out); }
void Window::setClipboardText(std::string_view utf8) { NativeWindow::setClipboardText(utf8); }

} // namespace orvex
