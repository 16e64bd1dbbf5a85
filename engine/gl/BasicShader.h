// BasicShader: the stock flat-colour program over BasicVertex: position = transformation ×
// (coord, 1), every fragment the colour. GlContext::createBasicShader builds it (GLSL 1.20, so
// it runs on any context this program accepts); the setters write its two uniforms, sent at the
// next draw. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/MeshShader.h"
#include "engine/gl/VertexFormats.h"

namespace orvex {

class BasicShader final : public MeshShader<BasicVertex> {
public:
    // `transformation` and `color` are uniforms of `shader` (kept alive by it).
    BasicShader(MeshShader<BasicVertex>&& shader, SingleUniform<Matrix<float, 4, 4>>* transformation,
                SingleUniform<Vector<float, 4>>* color);

    void setTransformation(const Matrix<float, 4, 4>& matrix) { transformation->set(matrix); }
    void setColor(const Vector<float, 4>& rgba) { color->set(rgba); }
    void setColor(const Color<float>& rgba) { color->set(rgba); }

private:
    SingleUniform<Matrix<float, 4, 4>>* transformation;
    SingleUniform<Vector<float, 4>>* color;
};

} // namespace orvex
