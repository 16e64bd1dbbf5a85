// RectangleShader: linking the rectangle program from the shared stages, checking its uniforms
// and the setters that turn pixel amounts into clip-space uniforms.
#include "icicle/RectangleShader.h"

#include "engine/core/UniquePtr.h"
#include "engine/gl/GlContext.h"
#include "icicle/IcicleShaderSources.h"

#include <optional>
#include <utility>

using namespace orvex;

namespace {
constexpr int SCREEN_BLEND = 9; // source + destination × (1 − source colour)
}

RectangleShader* RectangleShader::create(GlContext& context)
{
    return create(context, icicleShaderStage(context, ICICLE_VERTEX), icicleShaderStage(context, ICICLE_RECTANGLE_GEOMETRY),
                  icicleShaderStage(context, ICICLE_RECTANGLE_FRAGMENT));
}

RectangleShader* RectangleShader::create(GlContext& context, ShaderComponent* vertex, ShaderComponent* geometry,
                                         ShaderComponent* fragment)
{
    std::optional<MeshShader<GeometryVertex>> linked = linkIcicleProgram(context, vertex, geometry, fragment);
    if (!linked)
        return nullptr;
    MeshShader<GeometryVertex>& shader = *linked;
    Uniforms found;
    found.transform = shader.uniform<Matrix<float, 3, 2>>(icicleUniformName(IcicleUniform::TRANSFORM));
    found.xOffset = shader.uniform<float>(icicleUniformName(IcicleUniform::X_OFFSET));
    found.inset = shader.uniform<Vector<float, 2>>(icicleUniformName(IcicleUniform::INSET));
    found.bevel = shader.uniform<Vector<float, 2>>(icicleUniformName(IcicleUniform::BEVEL));
    found.palette = shader.uniform<TextureUnit>(icicleUniformName(IcicleUniform::PALETTE));
    found.detailLevel = shader.uniform<float>(icicleUniformName(IcicleUniform::DETAIL_LEVEL));
    if (!found.transform || !found.xOffset || !found.inset || !found.bevel || !found.palette || !found.detailLevel) {
        context.setLastError("RectangleShader: a uniform is missing or has another type");
        return nullptr;
    }
    auto* rectangles = new RectangleShader(std::move(shader), found);
    rectangles->setBlendMode(SCREEN_BLEND);
    rectangles->setTransform(icicleInitialTransform(), 0.0f);
    found.inset->set(Vector<float, 2> {});
    found.bevel->set(Vector<float, 2> {});
    rectangles->setPaletteUnit(TextureUnit { 0 });
    found.detailLevel->set(0.0f);
    return rectangles;
}

RectangleShader::RectangleShader(MeshShader<GeometryVertex>&& shader, const Uniforms& uniforms)
    : MeshShader<GeometryVertex>(std::move(shader))
    , uniforms(uniforms)
{
}

void RectangleShader::setTransform(const Matrix<float, 3, 2>& matrix, float offset)
{
    uniforms.transform->set(matrix);
    uniforms.xOffset->set(offset);
}

void RectangleShader::setInset(Vector<float, 2> pixels, Vector<float, 2> viewportSize)
{
    uniforms.inset->set(Vector<float, 2> { { pixels[0] / viewportSize[0], pixels[1] / viewportSize[1] } });
}

void RectangleShader::setBevel(float threshold, float viewportWidth)
{
    uniforms.bevel->set(Vector<float, 2> { { viewportWidth / 2.0f, threshold / viewportWidth } });
}
