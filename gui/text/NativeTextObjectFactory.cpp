// NativeTextObjectFactory: default-face text objects, the start-up font check, atlas sizing.
#include "gui/text/NativeTextObjectFactory.h"

#include "gui/text/BasicGLNativeTextObject.h"

#include <cassert>

namespace orvex::gui {

namespace {

UniquePtr<FontCache> makeCache(UniquePtr<FontEngine> engine)
{
    if (!engine)
        engine = createFontEngine();
    return engine ? makeUnique<FontCache>(std::move(engine)) : nullptr;
}

} // namespace

NativeTextObjectFactory::NativeTextObjectFactory(GlContext* context, int clientWidth, int clientHeight,
                                                 UniquePtr<FontEngine> engine)
    : fonts(makeCache(std::move(engine))),
      textAtlas(context, TextAtlas::initialSize(clientWidth, clientHeight)[0],
                TextAtlas::initialSize(clientWidth, clientHeight)[1])
{
}

FontDescription NativeTextObjectFactory::defaultSpec(double height, bool bold)
{
    FontDescription spec;
    spec.kind = 1;
    spec.height = height;
    spec.quality = 2;
    spec.weight = bold ? 700 : 400;
    spec.italic = false;
    return spec;
}

TextObject* NativeTextObjectFactory::create(double height, bool bold)
{
    assert(fonts && "NativeTextObjectFactory::create: no font engine; did checkFonts() pass?");
    if (!fonts)
        return nullptr;
    return new BasicGLNativeTextObject(*fonts, textAtlas, defaultSpec(height, bold));
}

bool NativeTextObjectFactory::checkFonts()
{
    if (!fonts)
        return false;
    for (bool bold : { false, true }) {
        FontCache::Entry* entry = fonts->acquire(defaultSpec(20, bold));
        const bool made = entry->font != nullptr;
        fonts->release(entry);
        if (!made)
            return false;
    }
    return true;
}

} // namespace orvex::gui
