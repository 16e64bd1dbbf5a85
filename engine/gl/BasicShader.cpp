// BasicShader: a MeshShader<BasicVertex> with handles on its two uniforms.
#include "engine/gl/BasicShader.h"

#include <utility>

namespace orvex {

BasicShader::BasicShader(MeshShader<BasicVertex>&& shader, SingleUniform<Matrix<float, 4, 4>>* transformation,
                         SingleUniform<Vector<float, 4>>* color)
    : MeshShader<BasicVertex>(std::move(shader))
    , transformation(transformation)
    , color(color)
{
}

} // namespace orvex
