// GlFunctions: every OpenGL entry point the engine calls, as process-wide pointers in
// namespace orvex::gl (gl::BlendFunc for glBlendFunc), filled once by initializeGl(NativeContext&) from the
// platform's look-up while the first context is current. Nothing links libGL; the enumerants
// and prototypes come from the system headers only for their types. Capability flags say which
// optional families were found. Main thread (after initializeGl, the pointers are read-only).
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

// X(name) for each entry point, grouped as the loader fetches them.
#define ORVEX_GL_DIRECT(X)                                                                                            \
    X(BindTexture) X(BlendFunc) X(Clear) X(ClearColor) X(CullFace) X(DeleteTextures) X(DepthFunc) X(Disable)           \
    X(DrawArrays) X(DrawElements) X(Enable) X(Finish) X(GenTextures) X(GetFloatv) X(GetIntegerv) X(GetTexImage)        \
    X(PixelStorei) X(Scissor) X(StencilFunc) X(StencilOp) X(TexImage1D) X(TexImage2D) X(TexParameterf)                 \
    X(TexParameterfv) X(TexParameteri) X(TexSubImage2D) X(Viewport) X(GetString) X(GetError) X(ReadPixels) X(Flush)

#define ORVEX_GL_REQUIRED_1(X) X(TexImage3D) X(TexSubImage3D) X(ActiveTexture) X(BlendEquation)

#define ORVEX_GL_REQUIRED_2(X)                                                                                        \
    X(BlendEquationSeparate) X(GenBuffers) X(DeleteBuffers) X(BindBuffer) X(BufferData) X(BufferSubData)               \
    X(CreateProgram) X(DeleteProgram) X(AttachShader) X(DetachShader) X(LinkProgram) X(UseProgram) X(GetProgramiv)     \
    X(GetProgramInfoLog) X(CreateShader) X(DeleteShader) X(ShaderSource) X(CompileShader) X(GetShaderiv)               \
    X(GetShaderInfoLog) X(GetActiveAttrib) X(GetActiveUniform) X(BindAttribLocation) X(GetAttribLocation)              \
    X(GetUniformLocation) X(EnableVertexAttribArray) X(DisableVertexAttribArray) X(VertexAttribPointer)                \
    X(VertexAttrib1f) X(VertexAttrib2f) X(VertexAttrib3f) X(VertexAttrib4f) X(VertexAttrib1fv) X(VertexAttrib2fv)      \
    X(VertexAttrib3fv) X(VertexAttrib4fv) X(Uniform1f) X(Uniform2f) X(Uniform3f) X(Uniform4f) X(Uniform1i)             \
    X(Uniform2i) X(Uniform3i) X(Uniform4i) X(Uniform1fv) X(Uniform2fv) X(Uniform3fv) X(Uniform4fv) X(Uniform1iv)       \
    X(Uniform2iv) X(Uniform3iv) X(Uniform4iv) X(UniformMatrix2fv) X(UniformMatrix3fv) X(UniformMatrix4fv)              \
    X(GetBufferSubData) X(VertexAttribI1i) X(VertexAttribI2i) X(VertexAttribI3i) X(VertexAttribI4i)                    \
    X(VertexAttribI1iv) X(VertexAttribI2iv) X(VertexAttribI3iv) X(VertexAttribI4iv)

#define ORVEX_GL_REQUIRED_3(X)                                                                                        \
    X(UniformMatrix2x3fv) X(UniformMatrix2x4fv) X(UniformMatrix3x2fv) X(UniformMatrix3x4fv) X(UniformMatrix4x2fv)      \
    X(UniformMatrix4x3fv)

// Optional families: the pointer keeps the core name; a suffixed fallback is stored in it.
#define ORVEX_GL_OPTIONAL(X)                                                                                          \
    X(Uniform1ui) X(Uniform2ui) X(Uniform3ui) X(Uniform4ui) X(Uniform1uiv) X(Uniform2uiv) X(Uniform3uiv)               \
    X(Uniform4uiv) X(BindFragDataLocation) X(GenRenderbuffers) X(DeleteRenderbuffers) X(BindRenderbuffer)              \
    X(RenderbufferStorage) X(GenFramebuffers) X(DeleteFramebuffers) X(BindFramebuffer) X(FramebufferTexture2D)         \
    X(FramebufferRenderbuffer) X(DrawBuffers) X(BlitFramebuffer) X(GenerateMipmap) X(FramebufferTexture1D)             \
    X(FramebufferTexture3D) X(RenderbufferStorageMultisample) X(TexBuffer) X(GenVertexArrays) X(DeleteVertexArrays)    \
    X(BindVertexArray) X(DrawArraysInstanced) X(DrawElementsInstanced) X(VertexAttribDivisor) X(BindBufferBase)        \
    X(BindBufferRange) X(BeginTransformFeedback) X(EndTransformFeedback) X(TransformFeedbackVaryings)                  \
    X(GetTransformFeedbackVarying) X(ProgramParameteriEXT) X(PatchParameteri) X(PatchParameterfv) X(Uniform1d)         \
    X(Uniform2d) X(Uniform3d) X(Uniform4d) X(Uniform1dv) X(Uniform2dv) X(Uniform3dv) X(Uniform4dv)                     \
    X(UniformMatrix2dv) X(UniformMatrix3dv) X(UniformMatrix4dv) X(UniformMatrix2x3dv) X(UniformMatrix2x4dv)            \
    X(UniformMatrix3x2dv) X(UniformMatrix3x4dv) X(UniformMatrix4x2dv) X(UniformMatrix4x3dv)

#define ORVEX_GL_ALL(X) ORVEX_GL_DIRECT(X) ORVEX_GL_REQUIRED_1(X) ORVEX_GL_REQUIRED_2(X) ORVEX_GL_REQUIRED_3(X) ORVEX_GL_OPTIONAL(X)

namespace orvex::gl {

#define ORVEX_GL_DECLARE(name) extern decltype(&::gl##name) name;
ORVEX_GL_ALL(ORVEX_GL_DECLARE)
#undef ORVEX_GL_DECLARE

// Capability flags, read by the wrappers.
extern bool hasMipmapGeneration;
extern bool hasTextureBuffers;
extern bool hasVertexArrayObjects;
extern bool hasAttribDivisor;
extern bool hasPatchParameters;
// GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 1.0 without the extension.
extern float maxAnisotropy;

} // namespace orvex::gl

namespace orvex {

// Finds an entry point by its full name ("glGenBuffers"), or null when the current context does
// not offer it. The platform supplies one; tests supply their own.
using GlProcLookup = void* (*)(const char* name);

// Whether the entry points have been loaded successfully. Loading itself is
// initializeGl(NativeContext&) in GlLoader.h, run once per process by createGlContext.
bool initializeGl();

} // namespace orvex
