// NativeTextObjectFactory: what the application makes its text objects with. It holds the font
// cache (over the platform's font engine) and the window's text atlas, checks before the GUI is
// built that the default face can be made in both weights, and follows the window's size.
// Window thread, with the GL context current.
#pragma once

#include "engine/core/UniquePtr.h"
#include "gui/TextObjectFactory.h"
#include "gui/text/FontCache.h"
#include "gui/text/TextAtlas.h"

namespace orvex {
class GlContext;
}

namespace orvex::gui {

class NativeTextObjectFactory final : public TextObjectFactory {
public:
    // The atlas gets TextAtlas::initialSize of the client area. `engine` null: the platform's.
    NativeTextObjectFactory(GlContext* context, int clientWidth, int clientHeight,
                            UniquePtr<FontEngine> engine = nullptr);

    // A BasicGLNativeTextObject with the default face, quality 2, weight 700 if bold else 400.
    TextObject* create(double height, bool bold) override;
    // Acquires and releases height 20 in weight 400, then 700; false when either font cannot be
    // made (the GUI must not be built then). Also false without a font engine.
    bool checkFonts();
    // Forwarded from the window's resize.
    void clientResized(int clientWidth, int clientHeight) { textAtlas.fitWindow(clientWidth, clientHeight); }

    FontCache* fontCache() const { return fonts.get(); }
    TextAtlas& atlas() { return textAtlas; }

    // The FontDescription that `create` uses.
    static FontDescription defaultSpec(double height, bool bold);

private:
    UniquePtr<FontCache> fonts; // null when no font engine could start
    TextAtlas textAtlas;
};

} // namespace orvex::gui
