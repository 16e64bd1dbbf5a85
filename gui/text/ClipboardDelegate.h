// ClipboardDelegate: how text editing reaches the system clipboard, as code points. Window thread.
#pragma once

#include <string>
#include <string_view>

namespace orvex::gui {

class ClipboardDelegate {
public:
    virtual ~ClipboardDelegate() = default;
    // The clipboard's text; false when it cannot be read or holds no text.
    virtual bool getText(std::u32string& out) = 0;
    virtual bool setText(std::u32string_view text) = 0;
};

} // namespace orvex::gui
