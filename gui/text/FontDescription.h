// FontDescription: the parameters of one native font, the key of the FontCache. Ordered by every field so
// equal specs share one cache entry. Value type, any thread.
#pragma once

#include <compare>
#include <string>

namespace orvex::gui {

struct FontDescription {
    std::u32string faceName; // empty: the system's default user-interface face
    int kind = 1;            // kept with the others; font creation does not read it
    double height = 0;       // pixels (em height)
    int quality = 2;         // 0 non-antialiased, 1 antialiased, 2 proof, other: system default
    int weight = 400;        // 400 normal, 700 bold
    bool italic = false;

    auto operator<=>(const FontDescription&) const = default;
    bool operator==(const FontDescription&) const = default;
};

// The whole pixel height a font is made with: `height` rounded half away from zero, at least 1,
// and 0 when `height` is not positive.
int pixelHeight(double height);

} // namespace orvex::gui
