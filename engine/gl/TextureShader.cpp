// TextureShader: a MeshShader<TexturedVertex> with handles on its four uniforms.
#include "engine/gl/TextureShader.h"

#include <utility>

namespace orvex {

TextureShader::TextureShader(MeshShader<TexturedVertex>&& shader, SingleUniform<Matrix<float, 4, 4>>* transformation,
                             SingleUniform<Matrix<float, 3, 3>>* texTransform, SingleUniform<TextureUnit>* texUnit,
                             SingleUniform<Vector<float, 4>>* color)
    : MeshShader<TexturedVertex>(std::move(shader))
    , transformation(transformation)
    , texTransform(texTransform)
    , texUnit(texUnit)
    , color(color)
{
}

} // namespace orvex
