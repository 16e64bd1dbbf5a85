// BasicGLRenderer::RasterMaskShader: the GLSL 1.20 sources, linking with the textured vertex
// format's attributes, and the checks of its four uniforms.
#include "engine/gl/GlContext.h"
#include "gui/render/BasicGLRenderer.h"

#include <iterator>
#include <utility>

namespace orvex::gui {

namespace {

constexpr char VERTEX_SOURCE[] = "#version 120\n"
                                 "attribute vec3 coord;\n"
                                 "attribute vec2 texCoord;\n"
                                 "uniform mat4 transformation;\n"
                                 "uniform mat3 texTransform;\n"
                                 "varying vec3 texPos;\n"
                                 "void main() {\n"
                                 "    gl_Position = transformation*vec4(coord, 1.0);\n"
                                 "    texPos = texTransform*vec3(texCoord, 1.0);\n"
                                 "}\n";

// Coverage comes from the red channel; fully uncovered fragments are discarded so that they
// leave the depth and stencil buffers alone too.
constexpr char FRAGMENT_SOURCE[] = "#version 120\n"
                                   "uniform sampler2D texUnit;\n"
                                   "uniform vec4 color;\n"
                                   "varying vec3 texPos;\n"
                                   "void main() {\n"
                                   "    float opacity = texture2D(texUnit, texPos.xy/texPos.z).r;\n"
                                   "    if (opacity == 0.0)\n"
                                   "        discard;\n"
                                   "    gl_FragColor = vec4(color.rgb, color.a*opacity);\n"
                                   "}\n";

} // namespace

BasicGLRenderer::RasterMaskShader* BasicGLRenderer::RasterMaskShader::create(GlContext& context)
{
    const std::vector<const char*> attributes(std::begin(VertexFormat<TexturedVertex>::attributeNames),
                                              std::end(VertexFormat<TexturedVertex>::attributeNames));
    UniquePtr<Shader> linked(context.createShader({ VERTEX_SOURCE, sizeof VERTEX_SOURCE - 1 },
                                                  { FRAGMENT_SOURCE, sizeof FRAGMENT_SOURCE - 1 }, attributes));
    if (!linked)
        return nullptr;
    MeshShader<TexturedVertex> shader(std::move(*linked));
    linked.reset();
    Uniforms found;
    found.transformation = shader.uniform<Matrix<float, 4, 4>>("transformation");
    found.texTransform = shader.uniform<Matrix<float, 3, 3>>("texTransform");
    found.texUnit = shader.uniform<TextureUnit>("texUnit");
    found.color = shader.uniform<Vector<float, 4>>("color");
    if (!found.transformation || !found.texTransform || !found.texUnit || !found.color) {
        context.setLastError("RasterMaskShader: a uniform is missing or has another type");
        return nullptr;
    }
    auto* made = new RasterMaskShader(std::move(shader), found);
    made->setTransformation(Matrix<float, 4, 4>::identity());
    made->setTextureTransformation(Matrix<float, 3, 3>::identity());
    made->setTextureUnit(0);
    made->setColor(Color<float> { 1, 1, 1, 1 });
    return made;
}

BasicGLRenderer::RasterMaskShader::RasterMaskShader(MeshShader<TexturedVertex>&& shader, const Uniforms& uniforms)
    : MeshShader<TexturedVertex>(std::move(shader))
    , uniforms(uniforms)
{
}

void BasicGLRenderer::RasterMaskShader::setTransformation(const Matrix<float, 4, 4>& matrix)
{
    uniforms.transformation->set(matrix);
}

void BasicGLRenderer::RasterMaskShader::setTextureTransformation(const Matrix<float, 3, 3>& matrix)
{
    uniforms.texTransform->set(matrix);
}

void BasicGLRenderer::RasterMaskShader::setTextureUnit(int unit) { uniforms.texUnit->set(TextureUnit { unit }); }

void BasicGLRenderer::RasterMaskShader::setColor(const Color<float>& rgba) { uniforms.color->set(rgba); }

} // namespace orvex::gui
