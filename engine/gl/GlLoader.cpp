// GlLoader: the required steps, the optional families with their fallback chains, and the table
// that says which GL version or extension provides each entry point.
#include "engine/gl/GlLoader.h"

#include "engine/gl/NativeContext.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <span>

namespace orvex {

namespace {

// [SECTION] Where each entry point comes from

struct Origin {
    std::string_view name;
    int core; // major * 10 + minor of the version that made it core; 0 = never core
    std::string_view extensions[2];
};

#define ORVEX_GL_ORIGIN_11(name) Origin{"gl" #name, 11, {}},

constexpr std::string_view fbo = "GL_ARB_framebuffer_object";
constexpr std::string_view extFbo = "GL_EXT_framebuffer_object";
constexpr std::string_view extTransformFeedback = "GL_EXT_transform_feedback";
constexpr std::string_view nvTransformFeedback = "GL_NV_transform_feedback";
constexpr std::string_view tessellation = "GL_ARB_tessellation_shader";
constexpr std::string_view fp64 = "GL_ARB_gpu_shader_fp64";

const Origin origins[] = {
    ORVEX_GL_DIRECT(ORVEX_GL_ORIGIN_11)
    {"glTexImage3D", 12, {}}, {"glTexSubImage3D", 12, {}}, {"glActiveTexture", 13, {}},
    {"glBlendEquation", 14, {"GL_ARB_imaging"}},
    {"glBlendEquationSeparate", 20, {}},
    {"glGenBuffers", 15, {}}, {"glDeleteBuffers", 15, {}}, {"glBindBuffer", 15, {}}, {"glBufferData", 15, {}},
    {"glBufferSubData", 15, {}}, {"glGetBufferSubData", 15, {}},
    {"glCreateProgram", 20, {}}, {"glDeleteProgram", 20, {}}, {"glAttachShader", 20, {}},
    {"glDetachShader", 20, {}}, {"glLinkProgram", 20, {}}, {"glUseProgram", 20, {}}, {"glGetProgramiv", 20, {}},
    {"glGetProgramInfoLog", 20, {}}, {"glCreateShader", 20, {}}, {"glDeleteShader", 20, {}},
    {"glShaderSource", 20, {}}, {"glCompileShader", 20, {}}, {"glGetShaderiv", 20, {}},
    {"glGetShaderInfoLog", 20, {}}, {"glGetActiveAttrib", 20, {}}, {"glGetActiveUniform", 20, {}},
    {"glBindAttribLocation", 20, {}}, {"glGetAttribLocation", 20, {}}, {"glGetUniformLocation", 20, {}},
    {"glEnableVertexAttribArray", 20, {}}, {"glDisableVertexAttribArray", 20, {}},
    {"glVertexAttribPointer", 20, {}},
    {"glVertexAttrib1f", 20, {}}, {"glVertexAttrib2f", 20, {}}, {"glVertexAttrib3f", 20, {}},
    {"glVertexAttrib4f", 20, {}}, {"glVertexAttrib1fv", 20, {}}, {"glVertexAttrib2fv", 20, {}},
    {"glVertexAttrib3fv", 20, {}}, {"glVertexAttrib4fv", 20, {}},
    {"glUniform1f", 20, {}}, {"glUniform2f", 20, {}}, {"glUniform3f", 20, {}}, {"glUniform4f", 20, {}},
    {"glUniform1i", 20, {}}, {"glUniform2i", 20, {}}, {"glUniform3i", 20, {}}, {"glUniform4i", 20, {}},
    {"glUniform1fv", 20, {}}, {"glUniform2fv", 20, {}}, {"glUniform3fv", 20, {}}, {"glUniform4fv", 20, {}},
    {"glUniform1iv", 20, {}}, {"glUniform2iv", 20, {}}, {"glUniform3iv", 20, {}}, {"glUniform4iv", 20, {}},
    {"glUniformMatrix2fv", 20, {}}, {"glUniformMatrix3fv", 20, {}}, {"glUniformMatrix4fv", 20, {}},
    {"glVertexAttribI1i", 30, {}}, {"glVertexAttribI2i", 30, {}}, {"glVertexAttribI3i", 30, {}},
    {"glVertexAttribI4i", 30, {}}, {"glVertexAttribI1iv", 30, {}}, {"glVertexAttribI2iv", 30, {}},
    {"glVertexAttribI3iv", 30, {}}, {"glVertexAttribI4iv", 30, {}},
    {"glUniformMatrix2x3fv", 21, {}}, {"glUniformMatrix2x4fv", 21, {}}, {"glUniformMatrix3x2fv", 21, {}},
    {"glUniformMatrix3x4fv", 21, {}}, {"glUniformMatrix4x2fv", 21, {}}, {"glUniformMatrix4x3fv", 21, {}},
    // Optional families, in loading order.
    {"glUniform1ui", 30, {}}, {"glUniform2ui", 30, {}}, {"glUniform3ui", 30, {}}, {"glUniform4ui", 30, {}},
    {"glUniform1uiv", 30, {}}, {"glUniform2uiv", 30, {}}, {"glUniform3uiv", 30, {}}, {"glUniform4uiv", 30, {}},
    {"glBindFragDataLocation", 30, {}},
    {"glGenRenderbuffers", 30, {fbo}}, {"glDeleteRenderbuffers", 30, {fbo}}, {"glBindRenderbuffer", 30, {fbo}},
    {"glRenderbufferStorage", 30, {fbo}}, {"glGenFramebuffers", 30, {fbo}}, {"glDeleteFramebuffers", 30, {fbo}},
    {"glBindFramebuffer", 30, {fbo}}, {"glFramebufferTexture2D", 30, {fbo}},
    {"glFramebufferRenderbuffer", 30, {fbo}}, {"glDrawBuffers", 20, {}}, {"glBlitFramebuffer", 30, {fbo}},
    {"glGenerateMipmap", 30, {fbo}}, {"glFramebufferTexture1D", 30, {fbo}}, {"glFramebufferTexture3D", 30, {fbo}},
    {"glGenRenderbuffersEXT", 0, {extFbo}}, {"glDeleteRenderbuffersEXT", 0, {extFbo}},
    {"glBindRenderbufferEXT", 0, {extFbo}}, {"glRenderbufferStorageEXT", 0, {extFbo}},
    {"glGenFramebuffersEXT", 0, {extFbo}}, {"glDeleteFramebuffersEXT", 0, {extFbo}},
    {"glBindFramebufferEXT", 0, {extFbo}}, {"glFramebufferTexture2DEXT", 0, {extFbo}},
    {"glFramebufferRenderbufferEXT", 0, {extFbo}}, {"glDrawBuffersEXT", 0, {"GL_EXT_draw_buffers"}},
    {"glBlitFramebufferEXT", 0, {"GL_EXT_framebuffer_blit"}}, {"glGenerateMipmapEXT", 0, {extFbo}},
    {"glFramebufferTexture1DEXT", 0, {extFbo}}, {"glFramebufferTexture3DEXT", 0, {extFbo}},
    {"glRenderbufferStorageMultisample", 30, {fbo}},
    {"glRenderbufferStorageMultisampleEXT", 0, {"GL_EXT_framebuffer_multisample"}},
    {"glTexBuffer", 31, {}},
    {"glGenVertexArrays", 30, {"GL_ARB_vertex_array_object"}},
    {"glDeleteVertexArrays", 30, {"GL_ARB_vertex_array_object"}},
    {"glBindVertexArray", 30, {"GL_ARB_vertex_array_object"}},
    {"glDrawArraysInstanced", 31, {}}, {"glDrawElementsInstanced", 31, {}},
    {"glDrawArraysInstancedEXT", 0, {"GL_EXT_draw_instanced"}},
    {"glDrawElementsInstancedEXT", 0, {"GL_EXT_draw_instanced"}},
    {"glVertexAttribDivisor", 33, {}},
    {"glBindBufferBase", 30, {"GL_ARB_uniform_buffer_object"}},
    {"glBindBufferRange", 30, {"GL_ARB_uniform_buffer_object"}},
    {"glBeginTransformFeedback", 30, {}}, {"glEndTransformFeedback", 30, {}},
    {"glTransformFeedbackVaryings", 30, {}}, {"glGetTransformFeedbackVarying", 30, {}},
    {"glBindBufferBaseEXT", 0, {extTransformFeedback}}, {"glBindBufferRangeEXT", 0, {extTransformFeedback}},
    {"glBeginTransformFeedbackEXT", 0, {extTransformFeedback}},
    {"glEndTransformFeedbackEXT", 0, {extTransformFeedback}},
    {"glTransformFeedbackVaryingsEXT", 0, {extTransformFeedback}},
    {"glGetTransformFeedbackVaryingEXT", 0, {extTransformFeedback}},
    {"glBindBufferBaseNV", 0, {nvTransformFeedback}}, {"glBindBufferRangeNV", 0, {nvTransformFeedback}},
    {"glBeginTransformFeedbackNV", 0, {nvTransformFeedback}},
    {"glEndTransformFeedbackNV", 0, {nvTransformFeedback}},
    {"glTransformFeedbackVaryingsNV", 0, {nvTransformFeedback}},
    {"glGetTransformFeedbackVaryingNV", 0, {nvTransformFeedback}},
    {"glActiveVaryingNV", 0, {nvTransformFeedback}}, {"glGetVaryingLocationNV", 0, {nvTransformFeedback}},
    {"glProgramParameteriEXT", 0, {"GL_EXT_geometry_shader4", "GL_ARB_geometry_shader4"}},
    {"glPatchParameteri", 40, {tessellation}}, {"glPatchParameterfv", 40, {tessellation}},
    {"glUniform1d", 40, {fp64}}, {"glUniform2d", 40, {fp64}}, {"glUniform3d", 40, {fp64}},
    {"glUniform4d", 40, {fp64}}, {"glUniform1dv", 40, {fp64}}, {"glUniform2dv", 40, {fp64}},
    {"glUniform3dv", 40, {fp64}}, {"glUniform4dv", 40, {fp64}}, {"glUniformMatrix2dv", 40, {fp64}},
    {"glUniformMatrix3dv", 40, {fp64}}, {"glUniformMatrix4dv", 40, {fp64}}, {"glUniformMatrix2x3dv", 40, {fp64}},
    {"glUniformMatrix2x4dv", 40, {fp64}}, {"glUniformMatrix3x2dv", 40, {fp64}},
    {"glUniformMatrix3x4dv", 40, {fp64}}, {"glUniformMatrix4x2dv", 40, {fp64}},
    {"glUniformMatrix4x3dv", 40, {fp64}},
};

#undef ORVEX_GL_ORIGIN_11

constexpr int requiredVersion = 33;

// [SECTION] Fetching

// One gl:: pointer to fill, by the address of its storage (null: checked for presence only).
struct Slot {
    const char* name; // core form, "glGenFramebuffers"
    void* pointer;
};
#define ORVEX_GL_SLOT(name) Slot{"gl" #name, &gl::name},

// Every function pointer type has the representation of void* on the platforms we build for;
// copying the bytes avoids casting between object and function pointers.
void store(void* pointer, void* function)
{
    using AnyFunction = void (*)();
    static_assert(sizeof(AnyFunction) == sizeof(void*));
    std::memcpy(pointer, &function, sizeof function);
}

template <typename Function>
Function functionFrom(void* address)
{
    Function function;
    store(&function, address);
    return function;
}

class Fetcher {
public:
    Fetcher(GlProcLookup lookup, const GlContextOffer& offer, std::string* failure)
        : lookup(lookup)
        , offer(offer)
        , failure(failure)
    {
    }

    void* fetch(std::string_view name) const
    {
        if (!offer.offers(name))
            return nullptr;
        return lookup(std::string(name).c_str());
    }

    // Fetches every slot under `suffix`, storing each result (null when missing); true when all
    // were found. With `stopAtMissing` the first missing name ends the step.
    bool fetchAll(std::span<const Slot> slots, std::string_view suffix, bool stopAtMissing = false) const
    {
        bool complete = true;
        for (const Slot& slot : slots) {
            std::string name = std::string(slot.name).append(suffix);
            void* function = fetch(name);
            if (slot.pointer)
                store(slot.pointer, function);
            if (!function) {
                if (complete && failure)
                    *failure = "missing entry point " + name;
                complete = false;
                if (stopAtMissing)
                    return false;
            }
        }
        return complete;
    }

    // An optional family: the core names, then each suffix of the chain until one set is
    // complete. Without a complete set the family's pointers are left null, so that a caller
    // testing one of them never finds half a family.
    bool fetchFamily(std::span<const Slot> slots, std::initializer_list<std::string_view> fallbacks = {}) const
    {
        if (fetchQuietly(slots, ""))
            return true;
        for (std::string_view suffix : fallbacks)
            if (fetchQuietly(slots, suffix))
                return true;
        clear(slots);
        return false;
    }

    static void clear(std::span<const Slot> slots)
    {
        for (const Slot& slot : slots)
            if (slot.pointer)
                store(slot.pointer, nullptr);
    }

    // fetchAll without recording a failure: optional names never fail the load.
    bool fetchQuietly(std::span<const Slot> slots, std::string_view suffix) const
    {
        Fetcher silent(lookup, offer, nullptr);
        return silent.fetchAll(slots, suffix);
    }

private:
    GlProcLookup lookup;
    const GlContextOffer& offer;
    std::string* failure;
};

const Slot directSlots[] = {ORVEX_GL_DIRECT(ORVEX_GL_SLOT)};
const Slot requiredSlots1[] = {ORVEX_GL_REQUIRED_1(ORVEX_GL_SLOT)};
const Slot requiredSlots2[] = {ORVEX_GL_REQUIRED_2(ORVEX_GL_SLOT)};
const Slot requiredSlots3[] = {ORVEX_GL_REQUIRED_3(ORVEX_GL_SLOT)};

void loadOptionalFamilies(const Fetcher& fetcher)
{
    const Slot unsignedUniforms[] = {
        ORVEX_GL_SLOT(Uniform1ui) ORVEX_GL_SLOT(Uniform2ui) ORVEX_GL_SLOT(Uniform3ui) ORVEX_GL_SLOT(Uniform4ui)
        ORVEX_GL_SLOT(Uniform1uiv) ORVEX_GL_SLOT(Uniform2uiv) ORVEX_GL_SLOT(Uniform3uiv) ORVEX_GL_SLOT(Uniform4uiv)};
    fetcher.fetchFamily(unsignedUniforms);

    const Slot fragDataLocation[] = {ORVEX_GL_SLOT(BindFragDataLocation)};
    fetcher.fetchFamily(fragDataLocation);

    const Slot frameBuffers[] = {
        ORVEX_GL_SLOT(GenRenderbuffers) ORVEX_GL_SLOT(DeleteRenderbuffers) ORVEX_GL_SLOT(BindRenderbuffer)
        ORVEX_GL_SLOT(RenderbufferStorage) ORVEX_GL_SLOT(GenFramebuffers) ORVEX_GL_SLOT(DeleteFramebuffers)
        ORVEX_GL_SLOT(BindFramebuffer) ORVEX_GL_SLOT(FramebufferTexture2D) ORVEX_GL_SLOT(FramebufferRenderbuffer)
        ORVEX_GL_SLOT(DrawBuffers) ORVEX_GL_SLOT(BlitFramebuffer) ORVEX_GL_SLOT(GenerateMipmap)
        ORVEX_GL_SLOT(FramebufferTexture1D) ORVEX_GL_SLOT(FramebufferTexture3D)};
    // Unlike the other families, an incomplete EXT set keeps what it found: mipmap generation
    // counts on its own, and a driver may offer glGenerateMipmapEXT without the rest of the EXT
    // framebuffer names.
    if (!fetcher.fetchQuietly(frameBuffers, ""))
        fetcher.fetchQuietly(frameBuffers, "EXT");
    gl::hasMipmapGeneration = gl::GenerateMipmap != nullptr;

    const Slot multisample[] = {ORVEX_GL_SLOT(RenderbufferStorageMultisample)};
    fetcher.fetchFamily(multisample, {"EXT"});

    const Slot textureBuffers[] = {ORVEX_GL_SLOT(TexBuffer)};
    gl::hasTextureBuffers = fetcher.fetchFamily(textureBuffers);

    const Slot vertexArrays[] = {
        ORVEX_GL_SLOT(GenVertexArrays) ORVEX_GL_SLOT(DeleteVertexArrays) ORVEX_GL_SLOT(BindVertexArray)};
    gl::hasVertexArrayObjects = fetcher.fetchFamily(vertexArrays);

    const Slot instancing[] = {ORVEX_GL_SLOT(DrawArraysInstanced) ORVEX_GL_SLOT(DrawElementsInstanced)};
    fetcher.fetchFamily(instancing, {"EXT"});

    const Slot divisor[] = {ORVEX_GL_SLOT(VertexAttribDivisor)};
    gl::hasAttribDivisor = fetcher.fetchFamily(divisor);

    const Slot transformFeedback[] = {
        ORVEX_GL_SLOT(BindBufferBase) ORVEX_GL_SLOT(BindBufferRange) ORVEX_GL_SLOT(BeginTransformFeedback)
        ORVEX_GL_SLOT(EndTransformFeedback) ORVEX_GL_SLOT(TransformFeedbackVaryings)
        ORVEX_GL_SLOT(GetTransformFeedbackVarying)};
    if (!fetcher.fetchFamily(transformFeedback, {"EXT"})) {
        // The NV form needs all eight names, but only four of them share the core signatures:
        // glTransformFeedbackVaryingsNV takes attribute locations and glGetTransformFeedbackVaryingNV
        // returns a location, so calls made through the core pointers would pass them the wrong
        // arguments. Those two stay null; the other four are stored when all eight are found.
        const Slot nvForm[] = {
            ORVEX_GL_SLOT(BindBufferBase) ORVEX_GL_SLOT(BindBufferRange) ORVEX_GL_SLOT(BeginTransformFeedback)
            ORVEX_GL_SLOT(EndTransformFeedback) Slot{"glTransformFeedbackVaryings", nullptr},
            Slot{"glGetTransformFeedbackVarying", nullptr}, Slot{"glActiveVarying", nullptr},
            Slot{"glGetVaryingLocation", nullptr}};
        if (!fetcher.fetchQuietly(nvForm, "NV"))
            Fetcher::clear(nvForm);
    }

    const Slot programParameter[] = {ORVEX_GL_SLOT(ProgramParameteriEXT)};
    fetcher.fetchFamily(programParameter);

    const Slot patches[] = {ORVEX_GL_SLOT(PatchParameteri) ORVEX_GL_SLOT(PatchParameterfv)};
    gl::hasPatchParameters = fetcher.fetchFamily(patches);

    const Slot doubles[] = {
        ORVEX_GL_SLOT(Uniform1d) ORVEX_GL_SLOT(Uniform2d) ORVEX_GL_SLOT(Uniform3d) ORVEX_GL_SLOT(Uniform4d)
        ORVEX_GL_SLOT(Uniform1dv) ORVEX_GL_SLOT(Uniform2dv) ORVEX_GL_SLOT(Uniform3dv) ORVEX_GL_SLOT(Uniform4dv)
        ORVEX_GL_SLOT(UniformMatrix2dv) ORVEX_GL_SLOT(UniformMatrix3dv) ORVEX_GL_SLOT(UniformMatrix4dv)
        ORVEX_GL_SLOT(UniformMatrix2x3dv) ORVEX_GL_SLOT(UniformMatrix2x4dv) ORVEX_GL_SLOT(UniformMatrix3x2dv)
        ORVEX_GL_SLOT(UniformMatrix3x4dv) ORVEX_GL_SLOT(UniformMatrix4x2dv) ORVEX_GL_SLOT(UniformMatrix4x3dv)};
    fetcher.fetchFamily(doubles);
}

void resetCapabilities()
{
    gl::hasMipmapGeneration = false;
    gl::hasTextureBuffers = false;
    gl::hasVertexArrayObjects = false;
    gl::hasAttribDivisor = false;
    gl::hasPatchParameters = false;
    gl::maxAnisotropy = 1.0f;
}

void readMaxAnisotropy(const GlContextOffer& offer)
{
    if (!offer.hasExtension("GL_EXT_texture_filter_anisotropic") &&
        !offer.hasExtension("GL_ARB_texture_filter_anisotropic"))
        return;
    GLfloat limit = 1.0f;
    gl::GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &limit);
    gl::maxAnisotropy = std::max(limit, 1.0f);
}

// [SECTION] The one-time initialiser

thread_local NativeContext* loadingContext = nullptr;

void* lookUpThroughLoadingContext(const char* name)
{
    return loadingContext->procAddress(name);
}

std::string& loadFailure()
{
    static std::string text;
    return text;
}

std::atomic<bool> loadedState = false;

} // namespace

bool GlContextOffer::hasExtension(std::string_view name) const
{
    return std::find(extensions.begin(), extensions.end(), name) != extensions.end();
}

bool GlContextOffer::offers(std::string_view name) const
{
    for (const Origin& origin : origins) {
        if (origin.name != name)
            continue;
        if (origin.core != 0 && version >= origin.core)
            return true;
        for (std::string_view extension : origin.extensions)
            if (!extension.empty() && hasExtension(extension))
                return true;
        return false;
    }
    return false;
}

GlContextOffer readContextOffer(GlProcLookup lookup)
{
    GlContextOffer offer;
    auto getIntegerv = functionFrom<decltype(&::glGetIntegerv)>(lookup("glGetIntegerv"));
    if (!getIntegerv)
        return offer;
    // Contexts before 3.0 do not know these queries and leave the values untouched.
    GLint major = 0, minor = 0;
    getIntegerv(GL_MAJOR_VERSION, &major);
    getIntegerv(GL_MINOR_VERSION, &minor);
    if (major < 3)
        return offer;
    offer.version = major * 10 + std::clamp(minor, 0, 9);
    auto getStringi = functionFrom<decltype(&::glGetStringi)>(lookup("glGetStringi"));
    GLint count = 0;
    getIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; getStringi && i < count; ++i)
        if (const GLubyte* name = getStringi(GL_EXTENSIONS, GLuint(i)))
            offer.extensions.emplace_back(reinterpret_cast<const char*>(name));
    return offer;
}

bool loadGlFunctions(GlProcLookup lookup, std::string* failure)
{
    resetCapabilities();
    const GlContextOffer offer = readContextOffer(lookup);
    if (offer.version < requiredVersion) {
        if (failure)
            *failure = "OpenGL 3.3 is required; this context offers " +
                       (offer.version ? std::to_string(offer.version / 10) + "." + std::to_string(offer.version % 10)
                                      : std::string("less than 3.0"));
        return false;
    }
    const Fetcher fetcher(lookup, offer, failure);
    if (!fetcher.fetchAll(directSlots, "") || !fetcher.fetchAll(requiredSlots1, "", true) ||
        !fetcher.fetchAll(requiredSlots2, "") || !fetcher.fetchAll(requiredSlots3, "", true))
        return false;
    loadOptionalFamilies(fetcher);
    readMaxAnisotropy(offer);
    return true;
}

bool initializeGl(NativeContext& native)
{
    static const bool loaded = [&native] {
        loadingContext = &native;
        bool ok = loadGlFunctions(&lookUpThroughLoadingContext, &loadFailure());
        loadingContext = nullptr;
        if (ok)
            loadFailure().clear();
        loadedState = ok;
        return ok;
    }();
    return loaded;
}

bool initializeGl()
{
    // The parameterless form cannot load (it has no look-up); it reports the one-time result.
    return loadedState;
}

const std::string& glLoadFailure()
{
    return loadFailure();
}

} // namespace orvex
