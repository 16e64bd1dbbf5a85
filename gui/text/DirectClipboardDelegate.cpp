// DirectClipboardDelegate: UTF-32 over the window layer's UTF-8 clipboard.
#include "engine/window/Window.h"
#include "gui/TextObject.h"
#include "gui/text/DirectClipboardDelegate.h"

namespace orvex::gui {

bool DirectClipboardDelegate::getText(std::u32string& out)
{
    std::string utf8;
    if (!Window::getClipboardText(utf8))
        return false;
    out = fromUtf8(utf8);
    return true;
}

bool DirectClipboardDelegate::setText(std::u32string_view text)
{
    Window::setClipboardText(toUtf8(text));
    return true;
}

} // namespace orvex::gui
