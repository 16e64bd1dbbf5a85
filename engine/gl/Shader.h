// Shader: a linked GL program with its active uniforms as typed Uniform objects, its blend
// mode, stencil settings and default patch levels. bind() sends only what differs from the
// context's caches; draw() binds, uploads the uniforms that changed and draws a vertex array.
// ShaderComponent (Shader::Component) is one compiled stage. Both are made by GlContext's
// factories (GlContextShaders.cpp), own their GL names and release them only while the context
// lives. Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/ContextToken.h"
#include "engine/gl/Uniform.h"

#include <string_view>
#include <vector>

namespace orvex {

class GlContext;
class VertexArray;

class ShaderComponent {
public:
    // Takes over the compiled shader object `id` of `stage` (GL_VERTEX_SHADER, ...).
    ShaderComponent(GlContext* context, unsigned stage, unsigned id);
    // Deletes the shader object while the context lives; afterwards frees memory only.
    virtual ~ShaderComponent();
    ShaderComponent(ShaderComponent&& other) noexcept;
    ShaderComponent(const ShaderComponent&) = delete;
    ShaderComponent& operator=(const ShaderComponent&) = delete;
    ShaderComponent& operator=(ShaderComponent&&) = delete;

    // Called with the program after its attribute locations are bound, right before linking.
    virtual void beforeLink(unsigned program);

    GlContext* context() const { return owner; }
    unsigned stage() const { return stageValue; }
    unsigned id() const { return name; } // 0 once moved from

private:
    GlContext* owner;
    ContextToken token;
    unsigned stageValue;
    unsigned name;
};

class Shader {
public:
    using Component = ShaderComponent;

    // Takes over `other`'s program, uniforms and settings; `other` is left moved-from and its
    // destruction releases nothing of GL.
    Shader(Shader&& other) noexcept;
    virtual ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;
    Shader& operator=(Shader&&) = delete;

    // The first uniform named `name` when it holds a single value of element type T; null when
    // there is none, or it is an array (listed by the driver as "name[0]"), or its element type
    // is another. Color<float>/Color<double> find the four-component vector uniforms.
    template <typename T>
    SingleUniform<typename uniform_detail::Lookup<T>::Type>* uniform(std::string_view name) const
    {
        for (const UniquePtr<Uniform>& candidate : uniformList)
            if (candidate->name() == name)
                return dynamic_cast<SingleUniform<typename uniform_detail::Lookup<T>::Type>*>(candidate.get());
        return nullptr;
    }
    // One per active uniform, in the driver's active-uniform order; uploads follow this order.
    const std::vector<UniquePtr<Uniform>>& uniforms() const { return uniformList; }

    // 0..11; see applyBlendMode in Shader.cpp for the factors and equations of each mode.
    void setBlendMode(int mode);
    int blendMode() const { return blend; }

    // Stencil settings, applied at bind. Function selector: 1 NEVER, 2 EQUAL, 3 NOTEQUAL, other
    // ALWAYS (reference 1, mask 1). Operation selector (stencil-fail and depth-fail, depth-pass):
    // 1 REPLACE/REPLACE, 2 ZERO/ZERO, 3 INVERT/INVERT, 4 KEEP/REPLACE, 5 KEEP/ZERO, 6 KEEP/INVERT,
    // other KEEP/KEEP.
    void setStencilTest(bool enabled) { stencilTestValue = enabled; }
    void setStencilFunc(int selector) { stencilFuncValue = selector; }
    void setStencilOp(int selector) { stencilOpValue = selector; }
    bool stencilTest() const { return stencilTestValue; }
    int stencilFunc() const { return stencilFuncValue; }
    int stencilOp() const { return stencilOpValue; }

    // Set when the program has a tessellation-evaluation stage without a control stage: the
    // default patch levels (all 1.0) are then sent at every bind.
    bool hasPatchDefaults() const { return patchDefaults; }

    // Makes `context` (one of this shader's share group) current and sends the program, blend
    // mode, stencil and patch state that differ from its caches.
    void bind(GlContext& context);
    // bind() on the shader's own context, upload() of every dirty uniform in list order, then
    // vertexArray.draw(primitive, first, count) (primitive codes as VertexArray takes them).
    void draw(int primitive, VertexArray& vertexArray, int count);
    void draw(int primitive, VertexArray& vertexArray, int first, int count);

    GlContext* context() const { return owner; }
    unsigned program() const { return programName; }

private:
    friend class GlContext;
    // Takes over the linked `program` and lists its active uniforms (GL calls; the context of
    // the share group must be current).
    Shader(GlContext* context, unsigned program);
    void enablePatchDefaults();

    GlContext* owner;
    ContextToken token;
    unsigned programName;
    std::vector<UniquePtr<Uniform>> uniformList;
    bool movedFrom = false;
    int blend = 0;
    bool stencilTestValue = false;
    int stencilFuncValue = 0;
    int stencilOpValue = 0;
    bool patchDefaults = false;
    float patchOuterLevels[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float patchInnerLevels[2] = {1.0f, 1.0f};
};

} // namespace orvex
