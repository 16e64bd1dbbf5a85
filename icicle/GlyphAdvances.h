// GlyphAdvances: how far the pen moves after each of the 128 label glyph codes, in text units.
// The one table that label widths are measured with; the GPU glyph table takes its advances from it.
#pragma once

// Codes 0-31 are the size line's digits, point, unit letters and B plus the ellipsis and the
// replacement mark; 32-126 are the name line's printable ASCII; the rest draw nothing.
extern const float glyphAdvances[128];
