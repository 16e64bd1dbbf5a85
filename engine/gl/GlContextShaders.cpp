// GlContext's shader factories: compiling stages, linking programs (from sources or from
// compiled components) and the two stock programs. A failed compile or link leaves the driver's
// log in lastError() and yields null; every GL name made on the way is deleted again.
#include "engine/gl/BasicShader.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/Shader.h"
#include "engine/gl/TextureShader.h"

#include <cassert>
#include <iterator>
#include <utility>

namespace orvex {

namespace {

// The info log of a shader or program without its terminating NUL.
template <typename GetIv, typename GetLog>
std::string readLog(GLuint object, GetIv getIv, GetLog getLog)
{
    GLint length = 0;
    getIv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0)
        return std::string();
    std::string log(size_t(length), '\0');
    GLsizei written = 0;
    getLog(object, length, &written, log.data());
    log.resize(size_t(written));
    return log;
}

// The compiled shader object, or 0 with the reason in the context's error text.
GLuint compileStage(GlContext& context, GLenum stage, GlContext::ShaderSource source)
{
    const GLuint id = gl::CreateShader(stage);
    if (id == 0) {
        context.setLastError("Could not create shader component");
        return 0;
    }
    const GLchar* text = source.text;
    const GLint length = GLint(source.length);
    gl::ShaderSource(id, 1, &text, &length);
    gl::CompileShader(id);
    GLint status = GL_FALSE;
    gl::GetShaderiv(id, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE)
        return id;
    context.setLastError(readLog(id, gl::GetShaderiv, gl::GetShaderInfoLog));
    gl::DeleteShader(id);
    return 0;
}

// Links; on failure the program's log becomes the error text (on success it is left as it was).
bool linkProgram(GlContext& context, GLuint program)
{
    gl::LinkProgram(program);
    GLint status = GL_FALSE;
    gl::GetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_TRUE)
        return true;
    context.setLastError(readLog(program, gl::GetProgramiv, gl::GetProgramInfoLog));
    return false;
}

void bindAttributes(GLuint program, const std::vector<const char*>& attributeNames)
{
    for (size_t i = 0; i < attributeNames.size(); ++i)
        gl::BindAttribLocation(program, GLuint(i), attributeNames[i]);
}

template <size_t N>
GlContext::ShaderSource source(const char (&text)[N])
{
    return {text, N - 1};
}

template <typename Vertex>
std::vector<const char*> attributeNamesOf()
{
    return {std::begin(VertexFormat<Vertex>::attributeNames), std::end(VertexFormat<Vertex>::attributeNames)};
}

constexpr char BASIC_VERTEX[] = "#version 120\n"
                                "attribute vec3 coord;\n"
                                "uniform mat4 transformation;\n"
                                "void main() {\n"
                                "    gl_Position = transformation*vec4(coord, 1.0);\n"
                                "}\n";
constexpr char BASIC_FRAGMENT[] = "#version 120\n"
                                  "uniform vec4 color;\n"
                                  "void main() {\n"
                                  "    gl_FragColor = color;\n"
                                  "}\n";

constexpr char TEXTURE_VERTEX[] = "#version 120\n"
                                  "attribute vec3 coord;\n"
                                  "attribute vec2 texCoord;\n"
                                  "varying vec3 texPos;\n"
                                  "uniform mat4 transformation;\n"
                                  "uniform mat3 texTransform;\n"
                                  "void main() {\n"
                                  "    gl_Position = transformation*vec4(coord, 1.0);\n"
                                  "    texPos = texTransform*vec3(texCoord, 1.0);\n"
                                  "}\n";
constexpr char TEXTURE_FRAGMENT[] = "#version 120\n"
                                    "varying vec3 texPos;\n"
                                    "uniform sampler2D texUnit;\n"
                                    "uniform vec4 color;\n"
                                    "void main() {\n"
                                    "    gl_FragColor = color*texture2D(texUnit, texPos.xy/texPos.z);\n"
                                    "}\n";

constexpr Vector<float, 4> WHITE{{1.0f, 1.0f, 1.0f, 1.0f}};

} // namespace

ShaderComponent* GlContext::createShaderComponent(unsigned stage, ShaderSource source)
{
    makeShareCurrent();
    const GLuint id = compileStage(*this, stage, source);
    if (id == 0)
        return nullptr;
    return new ShaderComponent(this, stage, id);
}

Shader* GlContext::createShader(ShaderSource vertexSource, ShaderSource fragmentSource,
                                const std::vector<const char*>& attributeNames)
{
    makeShareCurrent();
    const GLuint vertex = compileStage(*this, GL_VERTEX_SHADER, vertexSource);
    if (vertex == 0)
        return nullptr;
    const GLuint fragment = compileStage(*this, GL_FRAGMENT_SHADER, fragmentSource);
    if (fragment == 0) {
        gl::DeleteShader(vertex);
        return nullptr;
    }
    const GLuint program = gl::CreateProgram();
    if (program == 0) {
        gl::DeleteShader(vertex);
        gl::DeleteShader(fragment);
        return nullptr;
    }
    gl::AttachShader(program, vertex);
    gl::AttachShader(program, fragment);
    bindAttributes(program, attributeNames);
    Shader* shader = linkProgram(*this, program) ? new Shader(this, program) : nullptr;
    // The program keeps what it linked; the stage objects are not needed any more.
    gl::DetachShader(program, vertex);
    gl::DetachShader(program, fragment);
    gl::DeleteShader(vertex);
    gl::DeleteShader(fragment);
    if (!shader)
        gl::DeleteProgram(program);
    return shader;
}

Shader* GlContext::createShader(const std::vector<ShaderComponent*>& components,
                                const std::vector<const char*>& attributeNames)
{
    makeShareCurrent();
    const GLuint program = gl::CreateProgram();
    if (program == 0)
        return nullptr;
    bool hasControlStage = false;
    bool hasEvaluationStage = false;
    for (ShaderComponent* component : components) {
        assert(component && component->id() != 0
               && "GlContext::createShader: every component must be a live compiled stage");
        gl::AttachShader(program, component->id());
        hasControlStage |= component->stage() == GL_TESS_CONTROL_SHADER;
        hasEvaluationStage |= component->stage() == GL_TESS_EVALUATION_SHADER;
    }
    bindAttributes(program, attributeNames);
    for (ShaderComponent* component : components)
        component->beforeLink(program);
    Shader* shader = linkProgram(*this, program) ? new Shader(this, program) : nullptr;
    // The components stay with the caller, who may link them into further programs.
    for (ShaderComponent* component : components)
        gl::DetachShader(program, component->id());
    if (!shader) {
        gl::DeleteProgram(program);
        return nullptr;
    }
    if (hasEvaluationStage && !hasControlStage)
        shader->enablePatchDefaults();
    return shader;
}

BasicShader* GlContext::createBasicShader()
{
    UniquePtr<Shader> linked(
        createShader(source(BASIC_VERTEX), source(BASIC_FRAGMENT), attributeNamesOf<BasicVertex>()));
    if (!linked)
        return nullptr;
    MeshShader<BasicVertex> shader(std::move(*linked));
    linked.reset();
    auto* transformation = shader.uniform<Matrix<float, 4, 4>>("transformation");
    auto* color = shader.uniform<Vector<float, 4>>("color");
    if (!transformation || !color)
        return nullptr;
    auto* basic = new BasicShader(std::move(shader), transformation, color);
    basic->setTransformation(Matrix<float, 4, 4>::identity());
    basic->setColor(WHITE);
    return basic;
}

TextureShader* GlContext::createTextureShader()
{
    UniquePtr<Shader> linked(
        createShader(source(TEXTURE_VERTEX), source(TEXTURE_FRAGMENT), attributeNamesOf<TexturedVertex>()));
    if (!linked)
        return nullptr;
    MeshShader<TexturedVertex> shader(std::move(*linked));
    linked.reset();
    auto* transformation = shader.uniform<Matrix<float, 4, 4>>("transformation");
    auto* texTransform = shader.uniform<Matrix<float, 3, 3>>("texTransform");
    auto* texUnit = shader.uniform<TextureUnit>("texUnit");
    auto* color = shader.uniform<Vector<float, 4>>("color");
    if (!transformation || !texTransform || !texUnit || !color)
        return nullptr;
    auto* textured = new TextureShader(std::move(shader), transformation, texTransform, texUnit, color);
    textured->setTransformation(Matrix<float, 4, 4>::identity());
    textured->setTextureTransformation(Matrix<float, 3, 3>::identity());
    textured->setTextureUnit(TextureUnit{0});
    textured->setColor(WHITE);
    return textured;
}

} // namespace orvex
