// Shader and ShaderComponent: uniform enumeration, cached binding of program, blend, stencil
// and patch state, lazy uniform upload before a draw, and release of the GL names while the
// context lives.
#include "engine/gl/Shader.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/VertexArray.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <utility>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// ShaderComponent

ShaderComponent::ShaderComponent(GlContext* context, unsigned stage, unsigned id)
    : owner(context)
    , token(context->token())
    , stageValue(stage)
    , name(id)
{
}

ShaderComponent::ShaderComponent(ShaderComponent&& other) noexcept
    : owner(other.owner)
    , token(other.token)
    , stageValue(other.stageValue)
    , name(std::exchange(other.name, 0u))
{
}

ShaderComponent::~ShaderComponent()
{
    if (name != 0 && token.alive()) {
        owner->makeShareCurrent();
        gl::DeleteShader(name);
    }
}

void ShaderComponent::beforeLink(unsigned) {}

// ---------------------------------------------------------------------------------------------
// Shader

namespace {

void applyBlendMode(int mode)
{
    struct Row {
        GLenum source, destination, equation;
    };
    // Modes 10 and 11 leave the factors as they are: GL ignores them for MIN and MAX.
    static constexpr GLenum KEEP_FACTORS = 0;
    static constexpr Row rows[] = {
        {GL_ONE, GL_ZERO, GL_FUNC_ADD},                               // 0 replace
        {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD},          // 1 alpha blending
        {GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD},                // 2 premultiplied alpha
        {GL_ONE, GL_ONE, GL_FUNC_ADD},                                // 3 additive
        {GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD},                          // 4 additive by alpha
        {GL_ONE, GL_ONE, GL_FUNC_REVERSE_SUBTRACT},                   // 5 destination - source
        {GL_SRC_ALPHA, GL_ONE, GL_FUNC_REVERSE_SUBTRACT},             // 6 the same, by alpha
        {GL_ONE, GL_ONE, GL_FUNC_SUBTRACT},                           // 7 source - destination
        {GL_ZERO, GL_SRC_COLOR, GL_FUNC_ADD},                         // 8 multiply
        {GL_ONE, GL_ONE_MINUS_SRC_COLOR, GL_FUNC_ADD},                // 9 screen
        {KEEP_FACTORS, KEEP_FACTORS, GL_MIN},                         // 10 minimum
        {KEEP_FACTORS, KEEP_FACTORS, GL_MAX},                         // 11 maximum
    };
    if (mode < 0 || mode >= int(std::size(rows)))
        return;
    const Row& row = rows[mode];
    if (row.source != KEEP_FACTORS || row.destination != KEEP_FACTORS)
        gl::BlendFunc(row.source, row.destination);
    gl::BlendEquation(row.equation);
}

GLenum stencilFunction(int selector)
{
    switch (selector) {
    case 1: return GL_NEVER;
    case 2: return GL_EQUAL;
    case 3: return GL_NOTEQUAL;
    default: return GL_ALWAYS;
    }
}

// (stencil-fail and depth-fail action, depth-pass action)
std::pair<GLenum, GLenum> stencilOperation(int selector)
{
    switch (selector) {
    case 1: return {GL_REPLACE, GL_REPLACE};
    case 2: return {GL_ZERO, GL_ZERO};
    case 3: return {GL_INVERT, GL_INVERT};
    case 4: return {GL_KEEP, GL_REPLACE};
    case 5: return {GL_KEEP, GL_ZERO};
    case 6: return {GL_KEEP, GL_INVERT};
    default: return {GL_KEEP, GL_KEEP};
    }
}

} // namespace

Shader::Shader(GlContext* context, unsigned program)
    : owner(context)
    , token(context->token())
    , programName(program)
{
    GLint activeCount = 0;
    GLint maxLength = 0;
    gl::GetProgramiv(program, GL_ACTIVE_UNIFORMS, &activeCount);
    gl::GetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxLength);
    uniformList.reserve(size_t(activeCount));
    std::vector<GLchar> nameBuffer(size_t(maxLength) + 1);
    for (GLint i = 0; i < activeCount; ++i) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        gl::GetActiveUniform(program, GLuint(i), GLsizei(nameBuffer.size()), &length, &size, &type, nameBuffer.data());
        std::string name(nameBuffer.data(), size_t(length));
        const GLint location = gl::GetUniformLocation(program, name.c_str());
        uniformList.push_back(createUniform(type, std::move(name), location, size));
    }
}

Shader::Shader(Shader&& other) noexcept
    : owner(other.owner)
    , token(other.token)
    , programName(std::exchange(other.programName, 0u))
    , uniformList(std::move(other.uniformList))
    , blend(other.blend)
    , stencilTestValue(other.stencilTestValue)
    , stencilFuncValue(other.stencilFuncValue)
    , stencilOpValue(other.stencilOpValue)
    , patchDefaults(other.patchDefaults)
{
    std::copy(std::begin(other.patchOuterLevels), std::end(other.patchOuterLevels), patchOuterLevels);
    std::copy(std::begin(other.patchInnerLevels), std::end(other.patchInnerLevels), patchInnerLevels);
    other.movedFrom = true;
    // The caches name the program by its wrapper's address. Once the source is freed, another
    // shader allocated there would be taken for already bound, so the source's entries go now.
    if (token.alive())
        owner->forgetProgram(&other);
}

Shader::~Shader()
{
    uniformList.clear();
    if (movedFrom || !token.alive())
        return;
    owner->makeShareCurrent();
    owner->forgetProgram(this);
    gl::DeleteProgram(programName);
}

void Shader::setBlendMode(int mode)
{
    assert(mode >= 0 && mode <= 11 && "Shader::setBlendMode: the mode must be 0..11");
    blend = mode;
}

void Shader::enablePatchDefaults()
{
    patchDefaults = true;
    std::fill(std::begin(patchOuterLevels), std::end(patchOuterLevels), 1.0f);
    std::fill(std::begin(patchInnerLevels), std::end(patchInnerLevels), 1.0f);
}

void Shader::bind(GlContext& context)
{
    assert(!movedFrom && "Shader::bind: this shader was moved from; bind the shader it was moved into");
    context.makeCurrent();
    GlContext::Caches& cache = context.current;
    if (cache.program != this) {
        gl::UseProgram(programName);
        cache.program = this;
    }
    if (cache.blendMode != blend) {
        applyBlendMode(blend);
        cache.blendMode = blend;
    }
    if (stencilTestValue) {
        if (!cache.stencilEnabled) {
            gl::Enable(GL_STENCIL_TEST);
            cache.stencilEnabled = true;
        }
        gl::StencilFunc(stencilFunction(stencilFuncValue), 1, 1);
        const auto [failAction, passAction] = stencilOperation(stencilOpValue);
        gl::StencilOp(failAction, failAction, passAction);
    } else if (cache.stencilEnabled) {
        gl::Disable(GL_STENCIL_TEST);
        cache.stencilEnabled = false;
    }
    if (patchDefaults && gl::hasPatchParameters) {
        gl::PatchParameterfv(GL_PATCH_DEFAULT_OUTER_LEVEL, patchOuterLevels);
        gl::PatchParameterfv(GL_PATCH_DEFAULT_INNER_LEVEL, patchInnerLevels);
    }
}

void Shader::draw(int primitive, VertexArray& vertexArray, int count)
{
    draw(primitive, vertexArray, 0, count);
}

void Shader::draw(int primitive, VertexArray& vertexArray, int first, int count)
{
    bind(*owner);
    for (const UniquePtr<Uniform>& uniform : uniformList)
        uniform->uploadIfDirty();
    vertexArray.draw(primitive, first, count);
}

} // namespace orvex
