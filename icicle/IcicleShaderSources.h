// IcicleShaderSources: the GLSL 330 texts of the two chart programs and the uniform names they
// share with RectangleShader and LabelShader. Stage 0 is the shared vertex shader, 1 and 2 the
// rectangle and label geometry shaders, 3 and 4 their fragment shaders. icicleShaderStage compiles
// a stage once per GL context and keeps it in the context's registry. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/MeshShader.h"
#include "icicle/GeometryVertex.h"

#include <optional>
#include <string_view>

namespace orvex {
class ShaderComponent;
}

enum IcicleShaderStage : int {
    ICICLE_VERTEX = 0,
    ICICLE_RECTANGLE_GEOMETRY = 1,
    ICICLE_LABEL_GEOMETRY = 2,
    ICICLE_RECTANGLE_FRAGMENT = 3,
    ICICLE_LABEL_FRAGMENT = 4,
    ICICLE_STAGE_COUNT = 5,
};

// The uniforms of both programs. The GLSL texts spell them with the four characters that
// icicleUniformName returns, so the look-ups and the sources cannot drift apart silently: a
// mismatch makes program creation fail.
enum class IcicleUniform : int {
    TRANSFORM,      // mat3x2
    X_OFFSET,       // float
    INSET,          // vec2
    BEVEL,          // vec2 (rectangles)
    PALETTE,        // sampler1D (rectangles)
    ASPECT,         // float (labels)
    FADE,           // vec2 (labels)
    GLYPH_TABLE,    // samplerBuffer (labels)
    ATLAS,          // sampler2D (labels)
    DISTANCE_RANGE, // vec2 (labels)
    DETAIL_LEVEL,   // float (rectangles): the finest detail level drawn, for small-item blocks
    PAGE_ATLAS,     // sampler2D (labels): the chart's glyph page, codes 128-255
    PAGE_RANGE,     // vec2 (labels): its distance range in texture coordinates
};
std::string_view icicleUniformName(IcicleUniform uniform);

// Both programs' transform before the first frame: columns (2, 0), (0, −2), (−1, 1), so x and y
// in [0, 1] fill the viewport with y pointing down.
inline orvex::Matrix<float, 3, 2> icicleInitialTransform()
{
    return { { 2.0f, 0.0f, 0.0f, -2.0f, -1.0f, 1.0f } };
}

// The text of a stage and the GL stage it is compiled as (GL_VERTEX_SHADER, ...).
orvex::GlContext::ShaderSource icicleShaderSource(IcicleShaderStage stage);
unsigned icicleShaderStageType(IcicleShaderStage stage);

// The compiled stage, from the context's registry (key "0000" ... "0004") or compiled now and
// registered; null with the driver's log in context.lastError() when it does not compile.
orvex::ShaderComponent* icicleShaderStage(orvex::GlContext& context, IcicleShaderStage stage);

// Links a vertex, geometry and fragment stage into a program over GeometryVertex; empty when a stage
// is missing or the link fails (the driver's log is in the context's lastError).
std::optional<orvex::MeshShader<GeometryVertex>> linkIcicleProgram(orvex::GlContext& context, orvex::ShaderComponent* vertex,
                                                                   orvex::ShaderComponent* geometry,
                                                                   orvex::ShaderComponent* fragment);
