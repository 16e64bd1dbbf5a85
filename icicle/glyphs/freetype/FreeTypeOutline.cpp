// FreeTypeOutline: glyph contours read through FT_Outline_Decompose, in em units with the fill on
// the right.
#include "icicle/glyphs/freetype/FreeTypeOutline.h"

#include FT_OUTLINE_H

#include <algorithm>
#include <cstdio>

namespace orvex::glyphs {

std::string describeFreeTypeError(FT_Error error)
{
    const char* text = FT_Error_String(error);
    return text ? text : "FreeType error " + std::to_string(error);
}

namespace {

struct Decomposer {
    Outline* outline;
    double scale;
    Vec2 current;

    Vec2 toEm(const FT_Vector* v) const { return {double(v->x) * scale, double(v->y) * scale}; }

    void add(const EdgeSegment& segment)
    {
        outline->contours.back().edges.push_back(segment);
        current = segment.end();
    }
};

Decomposer& self(void* user) { return *static_cast<Decomposer*>(user); }

int moveTo(const FT_Vector* to, void* user)
{
    Decomposer& d = self(user);
    if (d.outline->contours.empty() || !d.outline->contours.back().edges.empty())
        d.outline->contours.emplace_back();
    d.current = d.toEm(to);
    return 0;
}

int lineTo(const FT_Vector* to, void* user)
{
    Decomposer& d = self(user);
    Vec2 end = d.toEm(to);
    // FreeType closes every contour with a segment back to its start, zero-length when the last
    // point already is the start.
    if (end == d.current)
        return 0;
    EdgeSegment line;
    line.p[0] = d.current;
    line.p[1] = end;
    d.add(line);
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    Decomposer& d = self(user);
    Vec2 c = d.toEm(control), end = d.toEm(to);
    if (end == d.current && c == d.current)
        return 0;
    // A control point on the chord between the ends is a straight line.
    if (cross(c - d.current, end - c) == 0 && dot(c - d.current, end - c) >= 0)
        return lineTo(to, user);
    EdgeSegment curve;
    curve.degree = 2;
    curve.p[0] = d.current;
    curve.p[1] = c;
    curve.p[2] = end;
    d.add(curve);
    return 0;
}

int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
{
    Decomposer& d = self(user);
    Vec2 c1 = d.toEm(control1), c2 = d.toEm(control2), end = d.toEm(to);
    if (end == d.current && c1 == d.current && c2 == d.current)
        return 0;
    EdgeSegment curve;
    curve.degree = 3;
    curve.p[0] = d.current;
    curve.p[1] = c1;
    curve.p[2] = c2;
    curve.p[3] = end;
    d.add(curve);
    return 0;
}

} // namespace

namespace {

std::string codepointName(unsigned codepoint)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", codepoint);
    return text;
}

} // namespace

bool loadOutline(FT_Face face, unsigned codepoint, Outline& outline, std::string& error)
{
    outline.contours.clear();
    FT_UInt index = FT_Get_Char_Index(face, codepoint);
    if (index == 0) {
        error = "the face has no glyph for " + codepointName(codepoint);
        return false;
    }
    if (FT_Error e = FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE)) {
        error = "FT_Load_Glyph failed for " + codepointName(codepoint) + ": " + describeFreeTypeError(e);
        return false;
    }
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        error = codepointName(codepoint) + " is not an outline glyph";
        return false;
    }
    // shift 1 makes FreeType's implied on-curve midpoints exact; the scale undoes it.
    Decomposer decomposer{&outline, 1.0 / (2.0 * face->units_per_EM), {}};
    FT_Outline_Funcs funcs = {moveTo, lineTo, conicTo, cubicTo, 1, 0};
    if (FT_Error e = FT_Outline_Decompose(&face->glyph->outline, &funcs, &decomposer)) {
        error = "FT_Outline_Decompose failed for " + codepointName(codepoint) + ": " + describeFreeTypeError(e);
        return false;
    }
    std::erase_if(outline.contours, [](const Contour& c) { return c.edges.empty(); });
    // Fill on the left (PostScript order): reverse so that the inside is on the right.
    if (!outline.contours.empty() && FT_Outline_Get_Orientation(&face->glyph->outline) == FT_ORIENTATION_FILL_LEFT)
        outline.reverse();
    outline.finish();
    return true;
}

} // namespace orvex::glyphs
