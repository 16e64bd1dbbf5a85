// LabelShader: the program that turns each chart point into the glyph quads of its two-line label
// (name above the cell's centre line, size below; stages 0, 2 and 4 of IcicleShaderSources), with
// handles on its eight uniforms. Labels are premultiplied white drawn with blend mode 11 (the
// larger of source and destination), before the rectangles. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/MeshShader.h"
#include "icicle/GeometryVertex.h"

namespace orvex {
class GlContext;
class ShaderComponent;
}

class LabelShader final : public orvex::MeshShader<GeometryVertex> {
public:
    // Links the context's cached stages; null when a stage does not compile, the program does
    // not link or a uniform is missing or of another type.
    static LabelShader* create(orvex::GlContext& context);
    // The same from explicit stages (kept by the caller).
    static LabelShader* create(orvex::GlContext& context, orvex::ShaderComponent* vertex,
                               orvex::ShaderComponent* geometry, orvex::ShaderComponent* fragment);

    // The camera: clip = transform × (x + xOffset, row, 1).
    void setTransform(const orvex::Matrix<float, 3, 2>& transform, float xOffset);
    // The cell gap in pixels of a viewport of `viewportSize` (labels stay inside the inset cell),
    // and the viewport's aspect ratio, which keeps text units square in pixels.
    void setInsetAndAspect(orvex::Vector<float, 2> gapPixels, orvex::Vector<float, 2> viewportSize);
    // Labels fade in up to `fadeLength` pixels per text unit and are supersampled below
    // `supersampleThreshold` pixels per text unit.
    void setFade(float fadeLength, float supersampleThreshold, float viewportWidth);
    // The glyph page bound to texture unit 2 (codes 128-255) is `width` x `height` texels.
    void setPageSize(float width, float height);

    static constexpr int PAGE_ATLAS_UNIT = 2; // the glyph table is on unit 1, the built-in atlas on 0

private:
    struct Uniforms {
        orvex::SingleUniform<orvex::Matrix<float, 3, 2>>* transform;
        orvex::SingleUniform<float>* xOffset;
        orvex::SingleUniform<orvex::Vector<float, 2>>* inset;
        orvex::SingleUniform<float>* aspect;
        orvex::SingleUniform<orvex::Vector<float, 2>>* fade;
        orvex::SingleUniform<orvex::TextureUnit>* glyphTable;
        orvex::SingleUniform<orvex::TextureUnit>* atlas;
        orvex::SingleUniform<orvex::Vector<float, 2>>* distanceRange;
        orvex::SingleUniform<orvex::TextureUnit>* pageAtlas;
        orvex::SingleUniform<orvex::Vector<float, 2>>* pageRange;
    };
    LabelShader(orvex::MeshShader<GeometryVertex>&& shader, const Uniforms& uniforms);

    Uniforms uniforms;
};
