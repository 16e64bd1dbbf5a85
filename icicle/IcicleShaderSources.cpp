// The chart's GLSL: one point per cell goes through the shared vertex shader; the rectangle
// geometry shader turns it into the cell's shaded rectangle, the label geometry shader into the
// glyph quads of its two-line label, read from a glyph table in a buffer texture and drawn from a
// multi-channel distance-field atlas.
//
// [SECTION] Uniform names
// [SECTION] Shared vertex shader
// [SECTION] Rectangle program
// [SECTION] Label program
// [SECTION] Stage table and registry
#include "icicle/IcicleShaderSources.h"

#include "engine/gl/GlFunctions.h"
#include "engine/core/UniquePtr.h"
#include "engine/gl/Shader.h"

#include <cassert>
#include <cstdio>

namespace {

// ---------------------------------------------------------------------------------------------
// [SECTION] Uniform names

// Four characters per uniform, in IcicleUniform order.
constexpr char uniformNameTable[] = "trfm" "xoff" "inst" "bevl" "palt" "aspc" "fade" "glyt" "atls" "dstr" "dtlv" "atl2" "dst2";

template <size_t N>
constexpr orvex::GlContext::ShaderSource text(const char (&source)[N])
{
    return { source, N - 1 };
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Shared vertex shader

// gl_Position carries the cell (x0, row, x1) and w = 0 for a split name's continuation vertex,
// which has no size (sizeCode 0) and must not draw a second rectangle.
constexpr char vertexShader[] = R"(#version 330
layout(location = 0) in vec3 cell;       // x0, row, x1
layout(location = 1) in vec3 properties; // hue, inverseLabelWidth, sizeCode
layout(location = 2) in float name[8];
out float hue;
out LabelData {
    float inverseLabelWidth;
    float sizeCode;
    float name[8];
} label;
void main() {
    gl_Position = vec4(cell, properties.z == 0.0 ? 0.0 : 1.0);
    hue = properties.x;
    label.inverseLabelWidth = properties.y;
    label.sizeCode = properties.z;
    for (int j = 0; j < 8; ++j)
        label.name[j] = name[j];
}
)";

// ---------------------------------------------------------------------------------------------
// [SECTION] Rectangle program

// Corners: a = bottom-left (the row below, where a file's cell hangs lower), b = top-right. A
// cell running off the left or right edge keeps a band of its plain colour at that edge, as wide
// a share of the visible part as the share of the cell that is out of view; the rest is drawn
// 1.25 times brighter. Cells of at most 16 pixels (bevl.y in clip units) are drawn at full width
// instead, with a shade that falls off one per pixel (bevl.x converts clip units to pixels) and
// reaches 0.5 where the inset edge would be: the gap becomes a soft seam placed with sub-pixel
// precision rather than a hard edge snapped to the pixel grid, which matters at these widths.
// A negative hue marks a cell: -2 - h (at most -2) an unreadable node, hatched in palette colour
// h; -code / 128 (between -1 and 0) a small-item block, neutral grey, drawn only at the detail
// levels (dtlv, the finest level drawn) from code - 1 mod 8 to (code - 1) / 8 mod 8, hatched
// when code - 1 reaches 64. Ordinary cells take the unchanged path.
constexpr char rectangleGeometryShader[] = R"(#version 330
layout(points) in;
layout(triangle_strip, max_vertices = 12) out;
in float hue[];
uniform mat3x2 trfm;
uniform float xoff;
uniform vec2 inst;
uniform vec2 bevl;
uniform sampler1D palt;
uniform float dtlv;
flat out vec3 color;
flat out float hatch;
out vec2 shade;

float hatched;

void corner(float x, float y, vec3 c, vec2 s) {
    gl_Position = vec4(x, y, 0.0, 1.0);
    color = c;
    shade = s;
    hatch = hatched;
    EmitVertex();
}

void band(float x0, float x1, float bottom, float top, vec3 c) {
    corner(x0, bottom, c, vec2(0.0));
    corner(x1, bottom, c, vec2(0.0));
    corner(x0, top, c, vec2(0.0));
    corner(x1, top, c, vec2(0.0));
    EndPrimitive();
}

void main() {
    vec4 p = gl_in[0].gl_Position;
    vec2 a = trfm * vec3(p.x + xoff, p.y + 1.0, 1.0) * p.w;
    vec2 b = trfm * vec3(p.z + xoff, floor(p.y), 1.0) * p.w;
    float left = a.x + inst.x;
    float bottom = a.y + inst.y;
    float right = b.x - inst.x;
    float top = b.y - inst.y;
    float L = clamp(left, -1.0, 1.0);
    float R = clamp(right, -1.0, 1.0);
    if (L >= R || bottom >= top || bottom > 1.0 || top < -1.0)
        return;
    float h = hue[0];
    hatched = 0.0;
    vec3 plain;
    if (h <= -2.0) {
        hatched = 1.0;
        h = -2.0 - h;
    }
    if (h < 0.0) {
        int code = int(-h * 128.0 + 0.5) - 1;
        int level = int(dtlv + 0.5);
        if (level < code % 8 || level > (code / 8) % 8)
            return;
        hatched = code >= 64 ? 1.0 : 0.0;
        plain = vec3(0.2);
    } else {
        // Palette entry k sits at hue k/8: texel centres are half a texel (1/16) further on.
        plain = textureLod(palt, h + 0.0625, 0.0).rgb;
    }
    vec2 s = vec2(0.0);
    float x0 = L;
    float x1 = R;
    if (left < -1.0) {
        float split = L - (left + 1.0) / (right - left) * (R - L);
        band(L, split, bottom, top, plain);
        x0 = split;
    }
    if (right > 1.0) {
        float split = R - (right - 1.0) / (right - left) * (R - L);
        band(split, R, bottom, top, plain);
        x1 = split;
    } else if (left >= -1.0 && right - left <= bevl.y) {
        s = vec2(0.5) - vec2(a.x - left, b.x - left) * bevl.x;
        x0 = a.x;
        x1 = b.x;
    }
    vec3 bright = plain * 1.25;
    corner(x0, top, bright, s);
    corner(x0, bottom, bright, s);
    corner(x1, top, bright, s.yx);
    corner(x1, bottom, bright, s.yx);
    EndPrimitive();
}
)";

// Hatching: diagonal stripes 3 of every 8 pixels wide at half brightness, fixed to the screen so
// that they stay put while the chart pans, and coarse enough that the cell's colour still shows.
constexpr char rectangleFragmentShader[] = R"(#version 330
flat in vec3 color;
flat in float hatch;
in vec2 shade;
out vec4 fragColor;
void main() {
    vec3 c = color;
    if (hatch > 0.5 && mod(gl_FragCoord.x + gl_FragCoord.y, 8.0) < 3.0)
        c *= 0.5;
    fragColor = vec4(c * sqrt(max(1.0 - max(shade.x, 0.0) - max(shade.y, 0.0), 0.0)), 1.0);
}
)";

// ---------------------------------------------------------------------------------------------
// [SECTION] Label program

// The label fills the visible part of the cell: the wider line plus half a text unit spans its
// length, one text unit is at most 0.625 of its thickness, and a cell narrower than tall on screen
// gets its label turned a quarter clockwise, reading downwards from the top. Glyph table texel 3g:
// plane left, bottom, right; 3g + 1: plane top, atlas left, bottom; 3g + 2: atlas right, top,
// advance. 24 name glyphs and 7 size glyphs at 4 vertices each stay within 124 vertices.
constexpr char labelGeometryShader[] = R"(#version 330
layout(points) in;
layout(triangle_strip, max_vertices = 124) out;
in LabelData {
    float inverseLabelWidth;
    float sizeCode;
    float name[8];
} label[];
uniform mat3x2 trfm;
uniform float xoff;
uniform vec2 inst;
uniform float aspc;
uniform vec2 fade;
uniform samplerBuffer glyt;
out vec2 atlasCoord;
out float alpha;
flat out int supersample;
flat out int page;

vec2 origin;      // text (0, 0) in clip space
vec2 textX;       // one text unit along the line
vec2 textY;       // one text unit across it
float labelAlpha;
int labelSupersample;
int glyphPage; // 0: the built-in atlas; 1: the chart's page (codes 128-255)
float pen;

void corner(float x, float y, vec2 uv) {
    gl_Position = vec4(origin + x * textX + y * textY, 0.0, 1.0);
    atlasCoord = uv;
    alpha = labelAlpha;
    supersample = labelSupersample;
    page = glyphPage;
    EmitVertex();
}

void glyph(int g) {
    vec3 plane = texelFetch(glyt, 3 * g).xyz;     // left, bottom, right
    vec3 middle = texelFetch(glyt, 3 * g + 1).xyz; // plane top, atlas left, atlas bottom
    vec3 last = texelFetch(glyt, 3 * g + 2).xyz;   // atlas right, atlas top, advance
    glyphPage = g < 128 ? 0 : 1;
    if (plane.x < plane.z) {
        corner(pen + plane.x, plane.y, middle.yz);
        corner(pen + plane.z, plane.y, vec2(last.x, middle.z));
        corner(pen + plane.x, middle.x, vec2(middle.y, last.y));
        corner(pen + plane.z, middle.x, last.xy);
        EndPrimitive();
    }
    pen += last.z;
}

void main() {
    vec4 p = gl_in[0].gl_Position;
    vec2 a = trfm * vec3(p.x + xoff, p.y + 1.0, 1.0) + inst;
    vec2 b = trfm * vec3(p.z + xoff, floor(p.y), 1.0) - inst;
    float L = clamp(a.x, -1.0, 1.0);
    float R = clamp(b.x, -1.0, 1.0);
    float bottom = a.y;
    float top = b.y;
    if (L >= R || bottom >= top || bottom > 1.0 || top < -1.0)
        return;
    float M = R - L;
    float Z = top - bottom;
    bool sideways = aspc * M < Z;
    vec2 s = sideways ? vec2(0.625 * M, Z * label[0].inverseLabelWidth)
                      : vec2(M * label[0].inverseLabelWidth, 0.625 * Z);
    vec2 E = s.x * aspc < s.y ? vec2(s.x, s.x * aspc) : vec2(s.y / aspc, s.y);
    if (sideways) {
        origin = vec2(L + 0.5 * M, top);
        textX = vec2(0.0, -E.y);
        textY = vec2(E.x, 0.0);
    } else {
        origin = vec2(L, bottom + 0.5 * Z);
        textX = vec2(E.x, 0.0);
        textY = vec2(0.0, E.y);
    }
    float visible = min(fade.x * E.x, 1.0);
    labelAlpha = visible * visible;
    labelSupersample = E.x < fade.y ? 1 : 0;

    // Three 8-bit codes per float: c0 * 65536 + c1 * 256 + c2. A continuation vertex keeps its pen
    // offset (always below 65536, so its first code reads 0) in name[7]; packed codes there are
    // 65536 or more.
    float offset = label[0].name[7];
    pen = offset < 65536.0 ? offset : 0.0;
    for (int j = 0; j < 8; ++j) {
        float codes = label[0].name[j];
        int c0 = int(codes * 1.52587890625e-5);
        if (c0 == 0)
            break;
        glyph(c0);
        int c1 = int(mod(codes * 0.00390625, 256.0));
        if (c1 == 0)
            break;
        glyph(c1);
        int c2 = int(mod(codes, 256.0));
        if (c2 == 0)
            break;
        glyph(c2);
    }

    float size = label[0].sizeCode;
    if (size != 0.0) {
        pen = 0.0;
        glyph(int(mod(size, 16.0)));
        glyph(int(mod(size * 0.0625, 16.0)));
        glyph(int(mod(size * 0.00390625, 16.0)));
        glyph(int(mod(size * 0.000244140625, 16.0)));
        glyph(int(mod(size * 1.52587890625e-5, 16.0)));
        glyph(16 + int(mod(size * 9.5367431640625e-7, 16.0)));
        glyph(29);
    }
}
)";

// Coverage from the median of the three distance channels, 0.5 on the glyph's edge. Small labels
// (below 16 pixels per text unit) take nine samples a third of a pixel apart. Textures are read at
// level 0 explicitly: the atlas has no mipmaps, and the branch on the flag must not make implicit
// derivatives undefined.
constexpr char labelFragmentShader[] = R"(#version 330
in vec2 atlasCoord;
in float alpha;
flat in int supersample;
flat in int page;
uniform sampler2D atls;
uniform vec2 dstr;
uniform sampler2D atl2;
uniform vec2 dst2;
out vec4 fragColor;

float median(vec3 c) {
    return max(min(c.r, c.g), min(max(c.r, c.g), c.b));
}

vec3 field(vec2 uv) {
    return page == 0 ? textureLod(atls, uv, 0.0).rgb : textureLod(atl2, uv, 0.0).rgb;
}

void main() {
    vec2 d = fwidth(atlasCoord);
    vec2 range = page == 0 ? dstr : dst2;
    float coverage;
    if (supersample == 0) {
        float m = median(field(atlasCoord));
        float p = max(0.5 * (range.x / d.x + range.y / d.y), 1.0);
        coverage = clamp(p * (m - 0.5) + 0.5, 0.0, 1.0);
    } else {
        vec2 v = d * 0.333333343267441;
        float p = max(0.5 * (range.x / v.x + range.y / v.y), 1.0);
        float sum = 0.0;
        for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j) {
                float m = median(field(atlasCoord + vec2(float(i), float(j)) * v));
                sum += clamp(p * (m - 0.5) + 0.5, 0.0, 1.0);
            }
        coverage = sum * 0.111111111938953;
    }
    fragColor = vec4(alpha * coverage);
}
)";

// ---------------------------------------------------------------------------------------------
// [SECTION] Stage table and registry

struct StageEntry {
    orvex::GlContext::ShaderSource source;
    unsigned type;
};

const StageEntry stages[ICICLE_STAGE_COUNT] = {
    { text(vertexShader), GL_VERTEX_SHADER },
    { text(rectangleGeometryShader), GL_GEOMETRY_SHADER },
    { text(labelGeometryShader), GL_GEOMETRY_SHADER },
    { text(rectangleFragmentShader), GL_FRAGMENT_SHADER },
    { text(labelFragmentShader), GL_FRAGMENT_SHADER },
};

// Registry tag of the compiled stages.
char stageTag;

} // namespace

std::string_view icicleUniformName(IcicleUniform uniform)
{
    return std::string_view(uniformNameTable + 4 * int(uniform), 4);
}

orvex::GlContext::ShaderSource icicleShaderSource(IcicleShaderStage stage)
{
    assert(stage >= 0 && stage < ICICLE_STAGE_COUNT && "icicleShaderSource: stage must be 0..4");
    return stages[stage].source;
}

unsigned icicleShaderStageType(IcicleShaderStage stage)
{
    assert(stage >= 0 && stage < ICICLE_STAGE_COUNT && "icicleShaderStageType: stage must be 0..4");
    return stages[stage].type;
}

orvex::ShaderComponent* icicleShaderStage(orvex::GlContext& context, IcicleShaderStage stage)
{
    assert(stage >= 0 && stage < ICICLE_STAGE_COUNT && "icicleShaderStage: stage must be 0..4");
    char key[8];
    std::snprintf(key, sizeof key, "%04d", int(stage));
    if (void* stored = context.find(&stageTag, key))
        return static_cast<orvex::ShaderComponent*>(stored);
    orvex::ShaderComponent* component = context.createShaderComponent(stages[stage].type, stages[stage].source);
    if (component) {
        context.adopt(component);
        context.store(&stageTag, key, component);
    }
    return component;
}

std::optional<orvex::MeshShader<GeometryVertex>> linkIcicleProgram(orvex::GlContext& context, orvex::ShaderComponent* vertex,
                                                                   orvex::ShaderComponent* geometry,
                                                                   orvex::ShaderComponent* fragment)
{
    if (!vertex || !geometry || !fragment)
        return std::nullopt;
    // Attribute locations are fixed by layout qualifiers in the vertex shader.
    orvex::UniquePtr<orvex::Shader> linked(context.createShader({ vertex, geometry, fragment }, {}));
    if (!linked)
        return std::nullopt;
    return orvex::MeshShader<GeometryVertex>(std::move(*linked));
}
