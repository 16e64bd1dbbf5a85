// RectangleShader: the program that turns each chart point into its cell's shaded rectangle
// (stages 0, 1 and 3 of IcicleShaderSources), with handles on its five uniforms. It composites
// with blend mode 9 (cell + destination × (1 − cell)) over what the label pass left, so labels
// show on the cells although they are drawn first. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/MeshShader.h"
#include "icicle/GeometryVertex.h"

namespace orvex {
class GlContext;
class ShaderComponent;
}

class RectangleShader final : public orvex::MeshShader<GeometryVertex> {
public:
    // Links the context's cached stages; null when a stage does not compile, the program does
    // not link or a uniform is missing or of another type (the reason in lastError() for the
    // first two).
    static RectangleShader* create(orvex::GlContext& context);
    // The same from explicit stages (kept by the caller).
    static RectangleShader* create(orvex::GlContext& context, orvex::ShaderComponent* vertex,
                                   orvex::ShaderComponent* geometry, orvex::ShaderComponent* fragment);

    // The camera: clip = transform × (x + xOffset, row, 1).
    void setTransform(const orvex::Matrix<float, 3, 2>& transform, float xOffset);
    // The gap each cell keeps from its neighbours, in pixels of a viewport of `viewportSize`.
    void setInset(orvex::Vector<float, 2> pixels, orvex::Vector<float, 2> viewportSize);
    // Cells up to half of `threshold` pixels wide get soft edges instead of the gap.
    void setBevel(float threshold, float viewportWidth);
    void setPaletteUnit(orvex::TextureUnit unit) { uniforms.palette->set(unit); }
    // The finest detail level this frame draws: small-item blocks show only at their levels.
    void setDetailLevel(int level) { uniforms.detailLevel->set(float(level)); }

private:
    struct Uniforms {
        orvex::SingleUniform<orvex::Matrix<float, 3, 2>>* transform;
        orvex::SingleUniform<float>* xOffset;
        orvex::SingleUniform<orvex::Vector<float, 2>>* inset;
        orvex::SingleUniform<orvex::Vector<float, 2>>* bevel;
        orvex::SingleUniform<orvex::TextureUnit>* palette;
        orvex::SingleUniform<float>* detailLevel;
    };
    RectangleShader(orvex::MeshShader<GeometryVertex>&& shader, const Uniforms& uniforms);

    Uniforms uniforms;
};
