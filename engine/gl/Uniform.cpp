// The uniforms' upload calls (the vector form of glUniform* with the element count; matrices
// untransposed, since they are stored column-major) and the factory from the driver's GL type.
#include "engine/gl/Uniform.h"

#include "engine/gl/GlFunctions.h"

namespace orvex {

namespace {

// Unsigned and double uniforms come from optional entry-point families. A driver that reports
// such a uniform offers its upload call, but a missing pointer must not become a crash.
template <typename Function, typename... Args>
void callOptional(Function function, Args... args)
{
    if (function)
        function(args...);
}

template <typename T>
struct Upload;

template <>
struct Upload<int> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        gl::Uniform1iv(location, count, static_cast<const GLint*>(v));
    }
};
template <>
struct Upload<bool> : Upload<int> {};
template <>
struct Upload<TextureUnit> : Upload<int> {};
template <>
struct Upload<unsigned> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        callOptional(gl::Uniform1uiv, location, count, static_cast<const GLuint*>(v));
    }
};
template <>
struct Upload<float> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        gl::Uniform1fv(location, count, static_cast<const GLfloat*>(v));
    }
};
template <>
struct Upload<double> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        callOptional(gl::Uniform1dv, location, count, static_cast<const GLdouble*>(v));
    }
};

template <int N>
struct Upload<Vector<int, N>> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        const auto* data = static_cast<const GLint*>(v);
        if constexpr (N == 2)
            gl::Uniform2iv(location, count, data);
        else if constexpr (N == 3)
            gl::Uniform3iv(location, count, data);
        else
            gl::Uniform4iv(location, count, data);
    }
};
template <int N>
struct Upload<Vector<unsigned, N>> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        const auto* data = static_cast<const GLuint*>(v);
        if constexpr (N == 2)
            callOptional(gl::Uniform2uiv, location, count, data);
        else if constexpr (N == 3)
            callOptional(gl::Uniform3uiv, location, count, data);
        else
            callOptional(gl::Uniform4uiv, location, count, data);
    }
};
template <int N>
struct Upload<Vector<float, N>> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        const auto* data = static_cast<const GLfloat*>(v);
        if constexpr (N == 2)
            gl::Uniform2fv(location, count, data);
        else if constexpr (N == 3)
            gl::Uniform3fv(location, count, data);
        else
            gl::Uniform4fv(location, count, data);
    }
};
template <int N>
struct Upload<Vector<double, N>> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        const auto* data = static_cast<const GLdouble*>(v);
        if constexpr (N == 2)
            callOptional(gl::Uniform2dv, location, count, data);
        else if constexpr (N == 3)
            callOptional(gl::Uniform3dv, location, count, data);
        else
            callOptional(gl::Uniform4dv, location, count, data);
    }
};

// glUniformMatrixCxR{f,d}v for C columns and R rows (GLSL matCxR).
template <int C, int R>
auto matrixFloatCall()
{
    if constexpr (C == 2 && R == 2) return gl::UniformMatrix2fv;
    else if constexpr (C == 3 && R == 3) return gl::UniformMatrix3fv;
    else if constexpr (C == 4 && R == 4) return gl::UniformMatrix4fv;
    else if constexpr (C == 2 && R == 3) return gl::UniformMatrix2x3fv;
    else if constexpr (C == 2 && R == 4) return gl::UniformMatrix2x4fv;
    else if constexpr (C == 3 && R == 2) return gl::UniformMatrix3x2fv;
    else if constexpr (C == 3 && R == 4) return gl::UniformMatrix3x4fv;
    else if constexpr (C == 4 && R == 2) return gl::UniformMatrix4x2fv;
    else return gl::UniformMatrix4x3fv;
}
template <int C, int R>
auto matrixDoubleCall()
{
    if constexpr (C == 2 && R == 2) return gl::UniformMatrix2dv;
    else if constexpr (C == 3 && R == 3) return gl::UniformMatrix3dv;
    else if constexpr (C == 4 && R == 4) return gl::UniformMatrix4dv;
    else if constexpr (C == 2 && R == 3) return gl::UniformMatrix2x3dv;
    else if constexpr (C == 2 && R == 4) return gl::UniformMatrix2x4dv;
    else if constexpr (C == 3 && R == 2) return gl::UniformMatrix3x2dv;
    else if constexpr (C == 3 && R == 4) return gl::UniformMatrix3x4dv;
    else if constexpr (C == 4 && R == 2) return gl::UniformMatrix4x2dv;
    else return gl::UniformMatrix4x3dv;
}

template <int C, int R>
struct Upload<Matrix<float, C, R>> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        matrixFloatCall<C, R>()(location, count, GL_FALSE, static_cast<const GLfloat*>(v));
    }
};
template <int C, int R>
struct Upload<Matrix<double, C, R>> {
    static void call(GLint location, GLsizei count, const void* v)
    {
        callOptional(matrixDoubleCall<C, R>(), location, count, GLboolean(GL_FALSE), static_cast<const GLdouble*>(v));
    }
};

template <typename T>
UniquePtr<Uniform> make(unsigned type, std::string&& name, int location, int size)
{
    if (size != 1)
        return UniquePtr<Uniform>(new ArrayUniform<T>(type, std::move(name), location, size));
    return UniquePtr<Uniform>(new SingleUniform<T>(type, std::move(name), location));
}

} // namespace

template <typename T>
void SingleUniform<T>::upload()
{
    Upload<T>::call(location(), count(), value());
}

template <typename T>
void ArrayUniform<T>::upload()
{
    Upload<T>::call(location(), count(), value());
}

#define ORVEX_UNIFORM_INSTANTIATE(T)                                                                                  \
    template class SingleUniform<typename uniform_detail::Unparen<void T>::Type>;                                     \
    template class ArrayUniform<typename uniform_detail::Unparen<void T>::Type>;
ORVEX_UNIFORM_ELEMENT_TYPES(ORVEX_UNIFORM_INSTANTIATE)
#undef ORVEX_UNIFORM_INSTANTIATE

unsigned normalizeUniformType(unsigned glType)
{
    switch (glType) {
    case GL_SAMPLER_1D:
    case GL_SAMPLER_2D:
    case GL_SAMPLER_3D:
    case GL_SAMPLER_CUBE:
    case GL_SAMPLER_BUFFER:
    case GL_SAMPLER_1D_ARRAY:
    case GL_SAMPLER_2D_ARRAY:
        return SAMPLER_TYPE;
    default:
        return glType;
    }
}

UniquePtr<Uniform> createUniform(unsigned glType, std::string name, int location, int size)
{
    const unsigned type = normalizeUniformType(glType);
    switch (type) {
    case GL_INT: return make<int>(type, std::move(name), location, size);
    case GL_UNSIGNED_INT: return make<unsigned>(type, std::move(name), location, size);
    case GL_FLOAT: return make<float>(type, std::move(name), location, size);
    case GL_DOUBLE: return make<double>(type, std::move(name), location, size);
    case GL_FLOAT_VEC2: return make<Vector<float, 2>>(type, std::move(name), location, size);
    case GL_FLOAT_VEC3: return make<Vector<float, 3>>(type, std::move(name), location, size);
    case GL_FLOAT_VEC4: return make<Vector<float, 4>>(type, std::move(name), location, size);
    case GL_INT_VEC2: return make<Vector<int, 2>>(type, std::move(name), location, size);
    case GL_INT_VEC3: return make<Vector<int, 3>>(type, std::move(name), location, size);
    case GL_INT_VEC4: return make<Vector<int, 4>>(type, std::move(name), location, size);
    case GL_BOOL: return make<bool>(type, std::move(name), location, size);
    // Boolean vectors are set through glUniform*iv like integer vectors.
    case GL_BOOL_VEC2: return make<Vector<int, 2>>(type, std::move(name), location, size);
    case GL_BOOL_VEC3: return make<Vector<int, 3>>(type, std::move(name), location, size);
    case GL_BOOL_VEC4: return make<Vector<int, 4>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT2: return make<Matrix<float, 2, 2>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT3: return make<Matrix<float, 3, 3>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT4: return make<Matrix<float, 4, 4>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT2x3: return make<Matrix<float, 2, 3>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT2x4: return make<Matrix<float, 2, 4>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT3x2: return make<Matrix<float, 3, 2>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT3x4: return make<Matrix<float, 3, 4>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT4x2: return make<Matrix<float, 4, 2>>(type, std::move(name), location, size);
    case GL_FLOAT_MAT4x3: return make<Matrix<float, 4, 3>>(type, std::move(name), location, size);
    case GL_UNSIGNED_INT_VEC2: return make<Vector<unsigned, 2>>(type, std::move(name), location, size);
    case GL_UNSIGNED_INT_VEC3: return make<Vector<unsigned, 3>>(type, std::move(name), location, size);
    case GL_UNSIGNED_INT_VEC4: return make<Vector<unsigned, 4>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT2: return make<Matrix<double, 2, 2>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT3: return make<Matrix<double, 3, 3>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT4: return make<Matrix<double, 4, 4>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT2x3: return make<Matrix<double, 2, 3>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT2x4: return make<Matrix<double, 2, 4>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT3x2: return make<Matrix<double, 3, 2>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT3x4: return make<Matrix<double, 3, 4>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT4x2: return make<Matrix<double, 4, 2>>(type, std::move(name), location, size);
    case GL_DOUBLE_MAT4x3: return make<Matrix<double, 4, 3>>(type, std::move(name), location, size);
    case GL_DOUBLE_VEC2: return make<Vector<double, 2>>(type, std::move(name), location, size);
    case GL_DOUBLE_VEC3: return make<Vector<double, 3>>(type, std::move(name), location, size);
    case GL_DOUBLE_VEC4: return make<Vector<double, 4>>(type, std::move(name), location, size);
    case SAMPLER_TYPE: return make<TextureUnit>(type, std::move(name), location, size);
    default: return UniquePtr<Uniform>(new DummyUniform(type, std::move(name), location));
    }
}

} // namespace orvex
