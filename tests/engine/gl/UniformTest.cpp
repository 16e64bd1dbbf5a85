// Uniform objects without a GL context: the factory's GL type table (element type, storage size,
// recorded type and upload call, checked through fake entry points) and how set values are
// laid out for the upload calls.
#include "engine/gl/GlFunctions.h"
#include "engine/gl/Uniform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace orvex {
namespace {

struct UploadCall {
    std::string function;
    GLint location;
    GLsizei count;
    bool transposed;
    const void* data;
};
std::vector<UploadCall> uploads;

template <size_t N>
struct Label {
    char text[N];
    constexpr Label(const char (&name)[N]) { std::copy_n(name, N, text); }
};

template <Label Name, typename Element>
void vectorCall(GLint location, GLsizei count, const Element* data)
{
    uploads.push_back({Name.text, location, count, false, data});
}
template <Label Name, typename Element>
void matrixCall(GLint location, GLsizei count, GLboolean transpose, const Element* data)
{
    uploads.push_back({Name.text, location, count, transpose != GL_FALSE, data});
}

#define VECTOR_CALLS(X)                                                                                               \
    X(Uniform1iv, GLint) X(Uniform2iv, GLint) X(Uniform3iv, GLint) X(Uniform4iv, GLint) X(Uniform1uiv, GLuint)         \
    X(Uniform2uiv, GLuint) X(Uniform3uiv, GLuint) X(Uniform4uiv, GLuint) X(Uniform1fv, GLfloat)                        \
    X(Uniform2fv, GLfloat) X(Uniform3fv, GLfloat) X(Uniform4fv, GLfloat) X(Uniform1dv, GLdouble)                       \
    X(Uniform2dv, GLdouble) X(Uniform3dv, GLdouble) X(Uniform4dv, GLdouble)
#define MATRIX_CALLS(X)                                                                                               \
    X(UniformMatrix2fv, GLfloat) X(UniformMatrix3fv, GLfloat) X(UniformMatrix4fv, GLfloat)                             \
    X(UniformMatrix2x3fv, GLfloat) X(UniformMatrix2x4fv, GLfloat) X(UniformMatrix3x2fv, GLfloat)                       \
    X(UniformMatrix3x4fv, GLfloat) X(UniformMatrix4x2fv, GLfloat) X(UniformMatrix4x3fv, GLfloat)                       \
    X(UniformMatrix2dv, GLdouble) X(UniformMatrix3dv, GLdouble) X(UniformMatrix4dv, GLdouble)                          \
    X(UniformMatrix2x3dv, GLdouble) X(UniformMatrix2x4dv, GLdouble) X(UniformMatrix3x2dv, GLdouble)                    \
    X(UniformMatrix3x4dv, GLdouble) X(UniformMatrix4x2dv, GLdouble) X(UniformMatrix4x3dv, GLdouble)

// Every upload entry point replaced by a recorder for the test's duration.
class UniformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uploads.clear();
#define INSTALL_VECTOR(name, Element)                                                                                 \
    saved##name = gl::name;                                                                                            \
    gl::name = &vectorCall<#name, Element>;
#define INSTALL_MATRIX(name, Element)                                                                                 \
    saved##name = gl::name;                                                                                            \
    gl::name = &matrixCall<#name, Element>;
        VECTOR_CALLS(INSTALL_VECTOR)
        MATRIX_CALLS(INSTALL_MATRIX)
#undef INSTALL_VECTOR
#undef INSTALL_MATRIX
    }
    void TearDown() override
    {
#define RESTORE(name, Element) gl::name = saved##name;
        VECTOR_CALLS(RESTORE)
        MATRIX_CALLS(RESTORE)
#undef RESTORE
    }

private:
#define SAVED(name, Element) decltype(gl::name) saved##name = nullptr;
    VECTOR_CALLS(SAVED)
    MATRIX_CALLS(SAVED)
#undef SAVED
};

struct FactoryRow {
    const char* label;
    unsigned glType;
    unsigned recordedType;
    size_t elementBytes;
    const char* uploadCall;
};

const FactoryRow factoryRows[] = {
    {"int", GL_INT, GL_INT, 4, "Uniform1iv"},
    {"uint", GL_UNSIGNED_INT, GL_UNSIGNED_INT, 4, "Uniform1uiv"},
    {"float", GL_FLOAT, GL_FLOAT, 4, "Uniform1fv"},
    {"double", GL_DOUBLE, GL_DOUBLE, 8, "Uniform1dv"},
    {"vec2", GL_FLOAT_VEC2, GL_FLOAT_VEC2, 8, "Uniform2fv"},
    {"vec3", GL_FLOAT_VEC3, GL_FLOAT_VEC3, 12, "Uniform3fv"},
    {"vec4", GL_FLOAT_VEC4, GL_FLOAT_VEC4, 16, "Uniform4fv"},
    {"ivec2", GL_INT_VEC2, GL_INT_VEC2, 8, "Uniform2iv"},
    {"ivec3", GL_INT_VEC3, GL_INT_VEC3, 12, "Uniform3iv"},
    {"ivec4", GL_INT_VEC4, GL_INT_VEC4, 16, "Uniform4iv"},
    {"bool", GL_BOOL, GL_BOOL, 4, "Uniform1iv"},
    {"bvec2", GL_BOOL_VEC2, GL_BOOL_VEC2, 8, "Uniform2iv"},
    {"bvec3", GL_BOOL_VEC3, GL_BOOL_VEC3, 12, "Uniform3iv"},
    {"bvec4", GL_BOOL_VEC4, GL_BOOL_VEC4, 16, "Uniform4iv"},
    {"mat2", GL_FLOAT_MAT2, GL_FLOAT_MAT2, 16, "UniformMatrix2fv"},
    {"mat3", GL_FLOAT_MAT3, GL_FLOAT_MAT3, 36, "UniformMatrix3fv"},
    {"mat4", GL_FLOAT_MAT4, GL_FLOAT_MAT4, 64, "UniformMatrix4fv"},
    {"mat2x3", GL_FLOAT_MAT2x3, GL_FLOAT_MAT2x3, 24, "UniformMatrix2x3fv"},
    {"mat2x4", GL_FLOAT_MAT2x4, GL_FLOAT_MAT2x4, 32, "UniformMatrix2x4fv"},
    {"mat3x2", GL_FLOAT_MAT3x2, GL_FLOAT_MAT3x2, 24, "UniformMatrix3x2fv"},
    {"mat3x4", GL_FLOAT_MAT3x4, GL_FLOAT_MAT3x4, 48, "UniformMatrix3x4fv"},
    {"mat4x2", GL_FLOAT_MAT4x2, GL_FLOAT_MAT4x2, 32, "UniformMatrix4x2fv"},
    {"mat4x3", GL_FLOAT_MAT4x3, GL_FLOAT_MAT4x3, 48, "UniformMatrix4x3fv"},
    {"uvec2", GL_UNSIGNED_INT_VEC2, GL_UNSIGNED_INT_VEC2, 8, "Uniform2uiv"},
    {"uvec3", GL_UNSIGNED_INT_VEC3, GL_UNSIGNED_INT_VEC3, 12, "Uniform3uiv"},
    {"uvec4", GL_UNSIGNED_INT_VEC4, GL_UNSIGNED_INT_VEC4, 16, "Uniform4uiv"},
    {"dmat2", GL_DOUBLE_MAT2, GL_DOUBLE_MAT2, 32, "UniformMatrix2dv"},
    {"dmat3", GL_DOUBLE_MAT3, GL_DOUBLE_MAT3, 72, "UniformMatrix3dv"},
    {"dmat4", GL_DOUBLE_MAT4, GL_DOUBLE_MAT4, 128, "UniformMatrix4dv"},
    {"dmat2x3", GL_DOUBLE_MAT2x3, GL_DOUBLE_MAT2x3, 48, "UniformMatrix2x3dv"},
    {"dmat2x4", GL_DOUBLE_MAT2x4, GL_DOUBLE_MAT2x4, 64, "UniformMatrix2x4dv"},
    {"dmat3x2", GL_DOUBLE_MAT3x2, GL_DOUBLE_MAT3x2, 48, "UniformMatrix3x2dv"},
    {"dmat3x4", GL_DOUBLE_MAT3x4, GL_DOUBLE_MAT3x4, 96, "UniformMatrix3x4dv"},
    {"dmat4x2", GL_DOUBLE_MAT4x2, GL_DOUBLE_MAT4x2, 64, "UniformMatrix4x2dv"},
    {"dmat4x3", GL_DOUBLE_MAT4x3, GL_DOUBLE_MAT4x3, 96, "UniformMatrix4x3dv"},
    {"dvec2", GL_DOUBLE_VEC2, GL_DOUBLE_VEC2, 16, "Uniform2dv"},
    {"dvec3", GL_DOUBLE_VEC3, GL_DOUBLE_VEC3, 24, "Uniform3dv"},
    {"dvec4", GL_DOUBLE_VEC4, GL_DOUBLE_VEC4, 32, "Uniform4dv"},
    {"sampler1D", GL_SAMPLER_1D, SAMPLER_TYPE, 4, "Uniform1iv"},
    {"sampler2D", GL_SAMPLER_2D, SAMPLER_TYPE, 4, "Uniform1iv"},
    {"sampler3D", GL_SAMPLER_3D, SAMPLER_TYPE, 4, "Uniform1iv"},
    {"samplerCube", GL_SAMPLER_CUBE, SAMPLER_TYPE, 4, "Uniform1iv"},
    {"samplerBuffer", GL_SAMPLER_BUFFER, SAMPLER_TYPE, 4, "Uniform1iv"},
    {"sampler1DArray", GL_SAMPLER_1D_ARRAY, SAMPLER_TYPE, 4, "Uniform1iv"},
    {"sampler2DArray", GL_SAMPLER_2D_ARRAY, SAMPLER_TYPE, 4, "Uniform1iv"},
};

TEST_F(UniformTest, FactoryMapsEachGlTypeToItsStorageAndUploadCall)
{
    for (const FactoryRow& row : factoryRows) {
        SCOPED_TRACE(row.label);
        for (int size : {1, 3}) {
            uploads.clear();
            UniquePtr<Uniform> uniform = createUniform(row.glType, "u", 7, size);
            EXPECT_EQ(uniform->kind(), size == 1 ? Uniform::SINGLE : Uniform::ARRAY);
            EXPECT_EQ(uniform->type(), row.recordedType);
            EXPECT_EQ(uniform->count(), size);
            ASSERT_EQ(uniform->valueSize(), row.elementBytes * size_t(size));
            EXPECT_TRUE(std::all_of(uniform->value(), uniform->value() + uniform->valueSize(),
                                    [](std::byte b) { return b == std::byte{0}; }));
            EXPECT_TRUE(uniform->dirty());

            uniform->upload();
            ASSERT_EQ(uploads.size(), 1u);
            EXPECT_EQ(uploads[0].function, row.uploadCall);
            EXPECT_EQ(uploads[0].location, 7);
            EXPECT_EQ(uploads[0].count, size);
            EXPECT_FALSE(uploads[0].transposed);
            EXPECT_EQ(uploads[0].data, uniform->value());
        }
    }
}

TEST_F(UniformTest, TypesOutsideTheTableBecomeDummiesThatUploadNothing)
{
    struct Row {
        const char* label;
        unsigned glType;
    } rows[] = {
        {"isampler2D", GL_INT_SAMPLER_2D},
        {"sampler2DShadow", GL_SAMPLER_2D_SHADOW},
        {"image2D", GL_IMAGE_2D},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        UniquePtr<Uniform> uniform = createUniform(row.glType, "u", 3, 2);
        EXPECT_EQ(uniform->kind(), Uniform::DUMMY);
        EXPECT_EQ(uniform->type(), row.glType);
        EXPECT_EQ(uniform->valueSize(), 0u);
        uniform->uploadIfDirty();
        EXPECT_TRUE(uploads.empty());
    }
}

TEST_F(UniformTest, ValuesAreStoredInTheLayoutTheUploadCallReads)
{
    // Booleans and texture units travel as GL ints.
    UniquePtr<Uniform> flagUniform = createUniform(GL_BOOL, "flag", 0, 1);
    auto* flag = dynamic_cast<SingleUniform<bool>*>(flagUniform.get());
    ASSERT_NE(flag, nullptr);
    flag->set(true);
    int32_t stored = 0;
    std::memcpy(&stored, flag->value(), 4);
    EXPECT_EQ(stored, 1);
    EXPECT_TRUE(flag->get());

    UniquePtr<Uniform> samplerUniform = createUniform(GL_SAMPLER_2D, "tex", 0, 1);
    auto* sampler = dynamic_cast<SingleUniform<TextureUnit>*>(samplerUniform.get());
    ASSERT_NE(sampler, nullptr);
    sampler->set(TextureUnit{5});
    std::memcpy(&stored, sampler->value(), 4);
    EXPECT_EQ(stored, 5);

    // A colour written through a vec4 uniform lands as red, green, blue, alpha.
    UniquePtr<Uniform> tintUniform = createUniform(GL_FLOAT_VEC4, "tint", 0, 1);
    auto* tint = dynamic_cast<SingleUniform<Vector<float, 4>>*>(tintUniform.get());
    ASSERT_NE(tint, nullptr);
    tint->set(Color<float>{0.25f, 0.5f, 0.75f, 1.0f});
    EXPECT_EQ(tint->get(), (Vector<float, 4>{{0.25f, 0.5f, 0.75f, 1.0f}}));

    // Array elements sit one after another; writing one leaves the others alone.
    UniquePtr<Uniform> offsetsUniform = createUniform(GL_FLOAT_VEC2, "offsets[0]", 0, 3);
    auto* offsets = dynamic_cast<ArrayUniform<Vector<float, 2>>*>(offsetsUniform.get());
    ASSERT_NE(offsets, nullptr);
    const Vector<float, 2> pair[] = {{{1, 2}}, {{3, 4}}};
    offsets->set(1, pair);
    const float expected[] = {0, 0, 1, 2, 3, 4};
    ASSERT_EQ(offsets->valueSize(), sizeof expected);
    EXPECT_EQ(std::memcmp(offsets->value(), expected, sizeof expected), 0);
}

} // namespace
} // namespace orvex
