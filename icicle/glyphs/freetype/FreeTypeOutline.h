// FreeTypeOutline: reads a glyph's unscaled, unhinted outline from a FreeType face into an Outline
// (em units, fill on the right). Used by the build-time label-font tool and, on Linux, by the
// run-time glyph page. A face may be used by one thread at a time.
#pragma once

#include "icicle/glyphs/Outline.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

namespace orvex::glyphs {

// FreeType's own text for an error code where the library was built with it, else the number.
std::string describeFreeTypeError(FT_Error error);

// False with `error` set when the face has no glyph for `codepoint` or it cannot be loaded; an
// empty outline (the space) succeeds with no contours.
bool loadOutline(FT_Face face, unsigned codepoint, Outline& outline, std::string& error);

} // namespace orvex::glyphs
