// ElidedLabel: a Label whose text wraps at the width it is laid out at and, when that would take
// more than `maxLines` lines, loses its middle to "…" until it fits, so a long path keeps its
// start and its last components. `text` keeps the whole text; the text object shows the fitted one.
#pragma once

#include "gui/Label.h"

namespace orvex::gui {

class ElidedLabel : public Label {
public:
    ElidedLabel(std::u32string_view text, UniquePtr<TextObject> textObject, const Renderer::StyleObject* style, int maxLines);

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override;

    // `text` with `keep` of its code points left: the first half and the last, "…" between.
    static std::u32string elide(std::u32string_view text, int64_t keep);

    int maxLines; // 0 or less: no limit
    std::u32string shown;

private:
    void fit(double width, double scale);

    // What the last fit was for; a layout at the same width and scale reuses it.
    const TextObject* fittedObject = nullptr;
    std::u32string fittedText;
    double fittedWidth = -1;
    double fittedScale = 0;
};

} // namespace orvex::gui
