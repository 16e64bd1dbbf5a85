// Shaders against a real driver: uniform enumeration and typed look-up, lazy uploads, cached
// program and blend state, compile and link failures, the stock flat-colour program drawing
// where it should, programs from compiled components (geometry and tessellation stages), moving,
// and release after the context is gone.
#include "GlTestContext.h"

#include "engine/gl/BasicShader.h"
#include "engine/gl/BufferObject.h"
#include "engine/gl/MeshShader.h"
#include "engine/gl/Shader.h"
#include "engine/gl/VertexArray.h"

#include <functional>
#include <string_view>

namespace orvex::test {
namespace {

GlContext::ShaderSource text(std::string_view source)
{
    return {source.data(), source.size()};
}

// A vertex buffer and an array reading attribute 0 from it.
struct Geometry {
    UniquePtr<BufferObject> buffer;
    UniquePtr<VertexArray> array;
};

Geometry makeGeometry(GlContext* context, const std::vector<float>& floats, int components)
{
    Geometry geometry{UniquePtr<BufferObject>(context->createBuffer(floats, 0)),
                      UniquePtr<VertexArray>(context->createVertexArray())};
    if (geometry.buffer && geometry.array)
        geometry.array->setAttribute(0, geometry.buffer.get(), components, 0, components);
    return geometry;
}

// A BasicVertex rectangle from (x0, y0) to (x1, y1), drawn as a triangle strip (primitive 7).
Geometry makeRectangle(GlContext* context, float x0, float y0, float x1, float y1)
{
    return makeGeometry(context, {x0, y0, 0, x1, y0, 0, x0, y1, 0, x1, y1, 0}, 3);
}

constexpr int TRIANGLE_STRIP = 7;
constexpr int POINTS = 1;
const Color<unsigned char> BLACK{0, 0, 0, 255};
const Color<unsigned char> RED{255, 0, 0, 255};
const Color<unsigned char> BLUE{0, 0, 255, 255};

constexpr std::string_view LOOKUP_VERTEX = "#version 120\n"
                                           "attribute vec2 position;\n"
                                           "uniform mat4 transformation;\n"
                                           "uniform float unused;\n"
                                           "void main() {\n"
                                           "    gl_Position = transformation*vec4(position, 0.0, 1.0);\n"
                                           "}\n";
constexpr std::string_view LOOKUP_FRAGMENT = "#version 120\n"
                                             "uniform vec4 color[2];\n"
                                             "uniform sampler2D image;\n"
                                             "uniform bvec2 flags;\n"
                                             "void main() {\n"
                                             "    vec4 c = color[0] + color[1] + texture2D(image, vec2(0.5));\n"
                                             "    gl_FragColor = flags.x ? vec4(1.0) : c;\n"
                                             "}\n";

template <typename T>
std::function<bool(const Shader&)> finds(const char* name)
{
    return [name](const Shader& shader) { return shader.uniform<T>(name) != nullptr; };
}

class ShaderGLTest : public GlTest {
protected:
    UniquePtr<Shader> lookupShader()
    {
        return UniquePtr<Shader>(context()->createShader(text(LOOKUP_VERTEX), text(LOOKUP_FRAGMENT), {"position"}));
    }
};

TEST_F(ShaderGLTest, LookupFindsOnlyASingleValueOfTheRequestedType)
{
    UniquePtr<Shader> shader = lookupShader();
    ASSERT_NE(shader, nullptr) << context()->lastError();
    const Uniform* color = nullptr;
    for (const UniquePtr<Uniform>& uniform : shader->uniforms())
        if (uniform->name() == "color[0]")
            color = uniform.get();
    ASSERT_NE(color, nullptr) << "the vec4 array is not listed as color[0]";
    EXPECT_EQ(color->kind(), Uniform::ARRAY);
    EXPECT_EQ(color->count(), 2);

    struct Row {
        const char* label;
        std::function<bool(const Shader&)> found;
        bool expected;
    } rows[] = {
        {"mat4 as Matrix<float,4,4>", finds<Matrix<float, 4, 4>>("transformation"), true},
        {"mat4 as Matrix<float,3,3>", finds<Matrix<float, 3, 3>>("transformation"), false},
        {"mat4 as float", finds<float>("transformation"), false},
        {"sampler2D as TextureUnit", finds<TextureUnit>("image"), true},
        {"sampler2D as int", finds<int>("image"), false},
        {"bvec2 as Vector<int,2>", finds<Vector<int, 2>>("flags"), true},
        {"vec4 array by its bare name", finds<Vector<float, 4>>("color"), false},
        {"vec4 array by its element name", finds<Vector<float, 4>>("color[0]"), false},
        {"removed by the linker", finds<float>("unused"), false},
        {"never declared", finds<float>("missing"), false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.found(*shader), row.expected) << row.label;
}

TEST_F(ShaderGLTest, ValueSetTwiceIsUploadedOnceAndAnUnchangedDrawUploadsNothing)
{
    UniquePtr<BasicShader> shader(context()->createBasicShader());
    ASSERT_NE(shader, nullptr) << context()->lastError();
    Geometry rectangle = makeRectangle(context(), -1, -1, 1, 1);
    ASSERT_NE(rectangle.array, nullptr);

    GlCallCounter<gl::Uniform4fv> uniform4fv;
    GlCallCounter<gl::UniformMatrix4fv> uniformMatrix4fv;
    shader->setColor(Color<float>{0, 1, 0, 1});
    shader->setColor(Color<float>{1, 0, 0, 1});
    shader->draw(TRIANGLE_STRIP, *rectangle.array, 4);
    EXPECT_EQ(uniform4fv.count(), 1u);
    EXPECT_EQ(uniformMatrix4fv.count(), 1u); // the initial identity, never sent before
    EXPECT_EQ(gl.pixel(128, 128), RED);

    shader->draw(TRIANGLE_STRIP, *rectangle.array, 4);
    EXPECT_EQ(uniform4fv.count(), 1u);
    EXPECT_EQ(uniformMatrix4fv.count(), 1u);
}

TEST_F(ShaderGLTest, BasicShaderDrawsItsRectangleWhereTheTransformationPutsIt)
{
    UniquePtr<BasicShader> shader(context()->createBasicShader());
    ASSERT_NE(shader, nullptr) << context()->lastError();
    Geometry rectangle = makeRectangle(context(), -0.5f, -0.5f, 0.0f, 0.5f);
    ASSERT_NE(rectangle.array, nullptr);

    // Translation by +0.5 in x sits in the fourth column; a transposed upload would put it in
    // w instead and draw somewhere else.
    Matrix<float, 4, 4> translation = Matrix<float, 4, 4>::identity();
    translation.at(3, 0) = 0.5f;
    shader->setTransformation(translation);
    shader->setColor(Vector<float, 4>{{1, 0, 0, 1}});
    context()->clear(Color<float>{0, 0, 0, 1});
    shader->draw(TRIANGLE_STRIP, *rectangle.array, 4);

    // 256 × 256 window: the rectangle covers x 128..192, y 64..192.
    EXPECT_EQ(gl.pixel(160, 128), RED);
    EXPECT_EQ(gl.pixel(130, 66), RED);
    EXPECT_EQ(gl.pixel(190, 190), RED);
    EXPECT_EQ(gl.pixel(96, 128), BLACK) << "drawn where the untransformed rectangle would be";
    EXPECT_EQ(gl.pixel(200, 128), BLACK);
    EXPECT_EQ(gl.pixel(160, 200), BLACK);
    EXPECT_EQ(gl.pixel(160, 56), BLACK);
}

TEST_F(ShaderGLTest, SwitchingProgramsWithTheSameBlendModeSendsNoBlendCall)
{
    UniquePtr<BasicShader> first(context()->createBasicShader());
    UniquePtr<BasicShader> second(context()->createBasicShader());
    ASSERT_TRUE(first && second) << context()->lastError();
    first->setBlendMode(1);
    second->setBlendMode(1);
    first->bind(*context());

    GlCallCounter<gl::BlendFunc> blendFunc;
    GlCallCounter<gl::BlendEquation> blendEquation;
    GlCallCounter<gl::UseProgram> useProgram;
    second->bind(*context());
    first->bind(*context());
    first->bind(*context());
    second->bind(*context());
    EXPECT_EQ(blendFunc.count(), 0u);
    EXPECT_EQ(blendEquation.count(), 0u);
    EXPECT_EQ(useProgram.count(), 3u); // the repeated bind of `first` sends nothing
}

TEST_F(ShaderGLTest, FailedBuildReturnsNullWithTheDriverLogAndDeletesWhatItMade)
{
    constexpr std::string_view goodVertex = "#version 120\nvoid main() { gl_Position = vec4(0.0); }\n";
    constexpr std::string_view goodFragment = "#version 120\nvoid main() { gl_FragColor = vec4(1.0); }\n";
    constexpr std::string_view brokenSource = "#version 120\nvoid main() { gl_Position = vec4(0.0) }\n";
    constexpr std::string_view noMain = "#version 120\nvoid helper() {}\n";
    struct Row {
        const char* label;
        std::string_view vertex, fragment;
    } rows[] = {
        {"vertex stage does not compile", brokenSource, goodFragment},
        {"fragment stage does not compile", goodVertex, brokenSource},
        {"program does not link", noMain, goodFragment},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        context()->setLastError("");
        GlCallCounter<gl::CreateShader> createShader;
        GlCallCounter<gl::DeleteShader> deleteShader;
        GlCallCounter<gl::CreateProgram> createProgram;
        GlCallCounter<gl::DeleteProgram> deleteProgram;
        EXPECT_EQ(context()->createShader(text(row.vertex), text(row.fragment), {}), nullptr);
        EXPECT_NE(context()->lastError().find("error"), std::string::npos) << context()->lastError();
        EXPECT_EQ(context()->lastError().find('\0'), std::string::npos) << "the log kept its terminating NUL";
        EXPECT_EQ(deleteShader.count(), createShader.count());
        EXPECT_EQ(deleteProgram.count(), createProgram.count());
    }
}

TEST_F(ShaderGLTest, ComponentTheDriverCannotCreateSaysSo)
{
    EXPECT_EQ(context()->createShaderComponent(GL_TEXTURE_2D, text("void main() {}")), nullptr);
    EXPECT_EQ(context()->lastError(), "Could not create shader component");
}

constexpr std::string_view POINT_VERTEX = "#version 330\n"
                                          "in vec2 position;\n"
                                          "void main() { gl_Position = vec4(position, 0.0, 1.0); }\n";
constexpr std::string_view POINT_TO_SQUARE = "#version 330\n"
                                             "layout(points) in;\n"
                                             "layout(triangle_strip, max_vertices = 4) out;\n"
                                             "uniform float halfSize;\n"
                                             "void main() {\n"
                                             "    vec4 c = gl_in[0].gl_Position;\n"
                                             "    gl_Position = c + vec4(-halfSize, -halfSize, 0, 0); EmitVertex();\n"
                                             "    gl_Position = c + vec4(halfSize, -halfSize, 0, 0); EmitVertex();\n"
                                             "    gl_Position = c + vec4(-halfSize, halfSize, 0, 0); EmitVertex();\n"
                                             "    gl_Position = c + vec4(halfSize, halfSize, 0, 0); EmitVertex();\n"
                                             "    EndPrimitive();\n"
                                             "}\n";
constexpr std::string_view COLOR_FRAGMENT_330 = "#version 330\n"
                                                "uniform vec4 color;\n"
                                                "out vec4 fragColor;\n"
                                                "void main() { fragColor = color; }\n";

TEST_F(ShaderGLTest, ComponentsWithAGeometryStageLinkAndStayReusable)
{
    UniquePtr<ShaderComponent> vertex(context()->createShaderComponent(GL_VERTEX_SHADER, text(POINT_VERTEX)));
    UniquePtr<ShaderComponent> geometry(context()->createShaderComponent(GL_GEOMETRY_SHADER, text(POINT_TO_SQUARE)));
    UniquePtr<ShaderComponent> fragment(context()->createShaderComponent(GL_FRAGMENT_SHADER, text(COLOR_FRAGMENT_330)));
    ASSERT_TRUE(vertex && geometry && fragment) << context()->lastError();

    UniquePtr<Shader> first(context()->createShader({vertex.get(), geometry.get(), fragment.get()}, {"position"}));
    ASSERT_NE(first, nullptr) << context()->lastError();
    // The second program draws: the components must have come through the first link intact.
    UniquePtr<Shader> shader(context()->createShader({vertex.get(), geometry.get(), fragment.get()}, {"position"}));
    ASSERT_NE(shader, nullptr) << context()->lastError();

    // One point at the centre becomes a 64-pixel square.
    Geometry point = makeGeometry(context(), {0.0f, 0.0f}, 2);
    ASSERT_NE(point.array, nullptr);
    auto* halfSize = shader->uniform<float>("halfSize");
    auto* color = shader->uniform<Color<float>>("color");
    ASSERT_TRUE(halfSize && color);
    halfSize->set(0.25f);
    color->set(Color<float>{0, 0, 1, 1});
    context()->clear(Color<float>{0, 0, 0, 1});
    shader->draw(POINTS, *point.array, 1);
    EXPECT_EQ(gl.pixel(128, 128), BLUE);
    EXPECT_EQ(gl.pixel(98, 158), BLUE);
    EXPECT_EQ(gl.pixel(170, 128), BLACK);
}

TEST_F(ShaderGLTest, TessellationEvaluationWithoutControlStageSendsDefaultPatchLevels)
{
    if (!gl::hasPatchParameters)
        GTEST_SKIP() << "the driver has no tessellation";
    constexpr std::string_view vertexSource = "#version 400\n"
                                              "in vec2 position;\n"
                                              "void main() { gl_Position = vec4(position, 0.0, 1.0); }\n";
    constexpr std::string_view evaluationSource = "#version 400\n"
                                                  "layout(triangles) in;\n"
                                                  "void main() {\n"
                                                  "    gl_Position = gl_TessCoord.x*gl_in[0].gl_Position\n"
                                                  "        + gl_TessCoord.y*gl_in[1].gl_Position\n"
                                                  "        + gl_TessCoord.z*gl_in[2].gl_Position;\n"
                                                  "}\n";
    constexpr std::string_view fragmentSource = "#version 400\n"
                                                "out vec4 fragColor;\n"
                                                "void main() { fragColor = vec4(1.0); }\n";
    UniquePtr<ShaderComponent> vertex(context()->createShaderComponent(GL_VERTEX_SHADER, text(vertexSource)));
    UniquePtr<ShaderComponent> evaluation(
        context()->createShaderComponent(GL_TESS_EVALUATION_SHADER, text(evaluationSource)));
    UniquePtr<ShaderComponent> fragment(context()->createShaderComponent(GL_FRAGMENT_SHADER, text(fragmentSource)));
    ASSERT_TRUE(vertex && evaluation && fragment) << context()->lastError();

    UniquePtr<Shader> shader(context()->createShader({vertex.get(), evaluation.get(), fragment.get()}, {"position"}));
    ASSERT_NE(shader, nullptr) << context()->lastError();
    EXPECT_TRUE(shader->hasPatchDefaults());
    GlCallCounter<gl::PatchParameterfv> patchParameter;
    shader->bind(*context());
    ASSERT_EQ(patchParameter.count(), 2u);
    const auto [outerName, outer] = patchParameter.calls()[0];
    const auto [innerName, inner] = patchParameter.calls()[1];
    EXPECT_EQ(outerName, GLenum(GL_PATCH_DEFAULT_OUTER_LEVEL));
    EXPECT_EQ(innerName, GLenum(GL_PATCH_DEFAULT_INNER_LEVEL));
    EXPECT_EQ(std::vector<float>(outer, outer + 4), std::vector<float>(4, 1.0f));
    EXPECT_EQ(std::vector<float>(inner, inner + 2), std::vector<float>(2, 1.0f));
}

TEST_F(ShaderGLTest, MovedShaderKeepsTheProgramAndTheSourceLeavesNoStaleCacheEntry)
{
    UniquePtr<Shader> source = lookupShader();
    ASSERT_NE(source, nullptr) << context()->lastError();
    source->bind(*context());
    const unsigned program = source->program();

    MeshShader<BasicVertex> moved(std::move(*source));
    EXPECT_EQ(moved.program(), program);
    EXPECT_NE((moved.uniform<Matrix<float, 4, 4>>("transformation")), nullptr);
    // A shader later allocated where the source was must not pass for the bound program.
    EXPECT_NE(context()->current.program, source.get());

    GlCallCounter<gl::DeleteProgram> deleteProgram;
    source.reset();
    EXPECT_EQ(deleteProgram.count(), 0u);

    GlCallCounter<gl::UseProgram> useProgram;
    moved.bind(*context());
    ASSERT_EQ(useProgram.count(), 1u);
    EXPECT_EQ(std::get<0>(useProgram.calls()[0]), program);
}

TEST_F(ShaderGLTest, DestructionDeletesTheProgramOnlyWhileTheContextLives)
{
    {
        UniquePtr<BasicShader> shader(context()->createBasicShader());
        ASSERT_NE(shader, nullptr) << context()->lastError();
        shader->bind(*context());
        GlCallCounter<gl::DeleteProgram> deleteProgram;
        shader.reset();
        EXPECT_EQ(deleteProgram.count(), 1u);
        EXPECT_EQ(context()->current.program, nullptr) << "the deleted program is still cached as current";
    }

    std::unique_ptr<GlContext> owned = gl.takeContext();
    UniquePtr<BasicShader> shader(owned->createBasicShader());
    UniquePtr<ShaderComponent> component(owned->createShaderComponent(GL_VERTEX_SHADER, text(POINT_VERTEX)));
    ASSERT_TRUE(shader && component) << owned->lastError();
    shader->bind(*owned);
    owned.reset();

    GlCallCounter<gl::DeleteProgram> deleteProgram;
    GlCallCounter<gl::DeleteShader> deleteShader;
    GlCallCounter<gl::UseProgram> useProgram;
    GlCallCounter<gl::Finish> finish;
    shader.reset();
    component.reset();
    EXPECT_EQ(deleteProgram.count() + deleteShader.count() + useProgram.count() + finish.count(), 0u);
}

} // namespace
} // namespace orvex::test
