// LabelShader: linking the label program from the shared stages, checking its uniforms and the
// setters that turn pixel amounts into clip-space uniforms.
#include "icicle/LabelShader.h"

#include "engine/core/UniquePtr.h"
#include "engine/gl/GlContext.h"
#include "icicle/IcicleShaderSources.h"
#include "icicle/LabelFont.h"

#include <optional>
#include <utility>

using namespace orvex;

namespace {
constexpr int MAXIMUM_BLEND = 11;
// The atlas's distance range in texture coordinates (8 of 512 pixels).
constexpr float distanceRangeInAtlas = labelDistanceRange / float(labelAtlasSize);
} // namespace

LabelShader* LabelShader::create(GlContext& context)
{
    return create(context, icicleShaderStage(context, ICICLE_VERTEX), icicleShaderStage(context, ICICLE_LABEL_GEOMETRY),
                  icicleShaderStage(context, ICICLE_LABEL_FRAGMENT));
}

LabelShader* LabelShader::create(GlContext& context, ShaderComponent* vertex, ShaderComponent* geometry,
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
    found.aspect = shader.uniform<float>(icicleUniformName(IcicleUniform::ASPECT));
    found.fade = shader.uniform<Vector<float, 2>>(icicleUniformName(IcicleUniform::FADE));
    found.glyphTable = shader.uniform<TextureUnit>(icicleUniformName(IcicleUniform::GLYPH_TABLE));
    found.atlas = shader.uniform<TextureUnit>(icicleUniformName(IcicleUniform::ATLAS));
    found.distanceRange = shader.uniform<Vector<float, 2>>(icicleUniformName(IcicleUniform::DISTANCE_RANGE));
    found.pageAtlas = shader.uniform<TextureUnit>(icicleUniformName(IcicleUniform::PAGE_ATLAS));
    found.pageRange = shader.uniform<Vector<float, 2>>(icicleUniformName(IcicleUniform::PAGE_RANGE));
    if (!found.transform || !found.xOffset || !found.inset || !found.aspect || !found.fade || !found.glyphTable
        || !found.atlas || !found.distanceRange || !found.pageAtlas || !found.pageRange) {
        context.setLastError("LabelShader: a uniform is missing or has another type");
        return nullptr;
    }
    auto* labels = new LabelShader(std::move(shader), found);
    labels->setBlendMode(MAXIMUM_BLEND);
    labels->setTransform(icicleInitialTransform(), 0.0f);
    found.inset->set(Vector<float, 2> {});
    found.aspect->set(1.0f);
    found.fade->set(Vector<float, 2> { { 1.0f, 0.0f } });
    found.glyphTable->set(TextureUnit { 1 });
    found.atlas->set(TextureUnit { 0 });
    found.distanceRange->set(Vector<float, 2> { { distanceRangeInAtlas, distanceRangeInAtlas } });
    found.pageAtlas->set(TextureUnit { PAGE_ATLAS_UNIT });
    found.pageRange->set(Vector<float, 2> { { distanceRangeInAtlas, distanceRangeInAtlas } });
    return labels;
}

LabelShader::LabelShader(MeshShader<GeometryVertex>&& shader, const Uniforms& uniforms)
    : MeshShader<GeometryVertex>(std::move(shader))
    , uniforms(uniforms)
{
}

void LabelShader::setTransform(const Matrix<float, 3, 2>& matrix, float offset)
{
    uniforms.transform->set(matrix);
    uniforms.xOffset->set(offset);
}

void LabelShader::setInsetAndAspect(Vector<float, 2> gapPixels, Vector<float, 2> viewportSize)
{
    uniforms.inset->set(Vector<float, 2> { { gapPixels[0] / viewportSize[0], gapPixels[1] / viewportSize[1] } });
    uniforms.aspect->set(viewportSize[0] / viewportSize[1]);
}

void LabelShader::setFade(float fadeLength, float supersampleThreshold, float viewportWidth)
{
    uniforms.fade->set(Vector<float, 2> { { 0.5f / fadeLength * viewportWidth, 2.0f * supersampleThreshold / viewportWidth } });
}

void LabelShader::setPageSize(float width, float height)
{
    uniforms.pageRange->set(Vector<float, 2> { { labelDistanceRange / width, labelDistanceRange / height } });
}
