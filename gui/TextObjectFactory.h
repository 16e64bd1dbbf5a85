// TextObjectFactory: makes the native text objects the application shows, with the default face at
// a pixel height in normal (400) or bold (700) weight. The implementation holds the font cache and
// the window's text atlas (gui/text/). Window thread only.
#pragma once

namespace orvex::gui {

class TextObject;

class TextObjectFactory {
public:
    virtual ~TextObjectFactory() = default;
    // A new text object owned by the caller; it must be destroyed before the factory.
    virtual TextObject* create(double height, bool bold) = 0;
};

} // namespace orvex::gui
