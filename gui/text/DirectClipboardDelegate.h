// DirectClipboardDelegate: the clipboard delegate that goes straight to the window layer's
// clipboard, which already turns the system's CR LF into line feeds on reading and line feeds
// into the system's line ends on writing. Window thread.
#pragma once

#include "gui/text/ClipboardDelegate.h"

namespace orvex::gui {

class DirectClipboardDelegate final : public ClipboardDelegate {
public:
    bool getText(std::u32string& out) override;
    // Always true: a clipboard that cannot be written is left as it was.
    bool setText(std::u32string_view text) override;
};

} // namespace orvex::gui
