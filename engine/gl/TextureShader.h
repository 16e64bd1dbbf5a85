// TextureShader: the stock textured program over TexturedVertex: position = transformation ×
// (coord, 1), colour = tint × the 2D texture of the chosen unit at a projective coordinate
// (texTransform × (u, v, 1), divided by its third component). GlContext::createTextureShader
// builds it (GLSL 1.20); the setters write its uniforms, sent at the next draw. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/MeshShader.h"
#include "engine/gl/VertexFormats.h"

namespace orvex {

class TextureShader final : public MeshShader<TexturedVertex> {
public:
    // The four uniforms belong to `shader` (kept alive by it).
    TextureShader(MeshShader<TexturedVertex>&& shader, SingleUniform<Matrix<float, 4, 4>>* transformation,
                  SingleUniform<Matrix<float, 3, 3>>* texTransform, SingleUniform<TextureUnit>* texUnit,
                  SingleUniform<Vector<float, 4>>* color);

    void setTransformation(const Matrix<float, 4, 4>& matrix) { transformation->set(matrix); }
    void setTextureTransformation(const Matrix<float, 3, 3>& matrix) { texTransform->set(matrix); }
    void setTextureUnit(TextureUnit unit) { texUnit->set(unit); }
    void setColor(const Vector<float, 4>& rgba) { color->set(rgba); }
    void setColor(const Color<float>& rgba) { color->set(rgba); }

private:
    SingleUniform<Matrix<float, 4, 4>>* transformation;
    SingleUniform<Matrix<float, 3, 3>>* texTransform;
    SingleUniform<TextureUnit>* texUnit;
    SingleUniform<Vector<float, 4>>* color;
};

} // namespace orvex
