// Vertex arrays against a real context: the emulated vertex array object (forced on by clearing
// gl::hasVertexArrayObjects) records bindings and replays them on bind(); both kinds skip binds the
// context's cache already holds and leave no stale cache entry behind; draw() maps primitive codes
// and sends patch sizes only when they change.
#include "GlTestContext.h"
#include "ScopedOverride.h"

#include "engine/core/UniquePtr.h"
#include "engine/gl/BufferObject.h"
#include "engine/gl/VertexArray.h"

#include <tuple>

using namespace orvex;
using orvex::test::GlCallCounter;

namespace {

class VertexArrayGLTest : public orvex::test::GlTest {
protected:
    UniquePtr<VertexArray> createArray() { return UniquePtr<VertexArray>(context()->createVertexArray()); }
    UniquePtr<BufferObject> createBuffer(size_t floats) { return UniquePtr<BufferObject>(context()->createBuffer(floats, 0)); }
};

class EmulatedVertexArrayGLTest : public VertexArrayGLTest {
protected:
    ScopedOverride<bool> emulated { gl::hasVertexArrayObjects, false };

    static VertexArrayObject_virtual& recorded(VertexArray& array)
    {
        auto* vao = dynamic_cast<VertexArrayObject_virtual*>(array.object());
        EXPECT_NE(vao, nullptr) << "without vertex array objects the context creates the emulation";
        return *vao;
    }
};

} // namespace

TEST_F(EmulatedVertexArrayGLTest, FirstAttributeAtFiveLeavesEmptyEntriesThatBindSkips)
{
    auto array = createArray();
    auto buffer = createBuffer(12);
    array->setAttribute(5, buffer.get(), 3, 0, 3);
    ASSERT_EQ(recorded(*array).attributes().size(), 6u);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(recorded(*array).attributes()[size_t(i)]) << "entry " << i;

    GlCallCounter<gl::EnableVertexAttribArray> enable;
    GlCallCounter<gl::VertexAttribPointer> pointer;
    array->object()->bind();
    ASSERT_EQ(enable.count(), 1u);
    EXPECT_EQ(std::get<0>(enable.calls()[0]), 5u);
    EXPECT_EQ(pointer.count(), 1u);
}

TEST_F(EmulatedVertexArrayGLTest, AttributesSetWhileUnboundApplyAtTheNextBind)
{
    auto array = createArray();
    auto other = createArray();
    auto buffer = createBuffer(20);
    other->object()->bind();

    GlCallCounter<gl::VertexAttribPointer> pointer;
    GlCallCounter<gl::VertexAttribDivisor> divisor;
    array->setAttribute(0, buffer.get(), 3, 0, 5);
    array->object()->setAttributeInstanced(1, buffer.get(), 2, GL_FLOAT, false, 3, 5, 2);
    EXPECT_EQ(pointer.count(), 0u) << "not bound: only recorded";

    array->object()->bind();
    ASSERT_EQ(pointer.count(), 2u);
    // Offsets and strides are given in floats and reach GL in bytes.
    EXPECT_EQ(std::get<0>(pointer.calls()[1]), 1u);
    EXPECT_EQ(std::get<1>(pointer.calls()[1]), 2);
    EXPECT_EQ(std::get<4>(pointer.calls()[1]), 20);
    EXPECT_EQ(std::get<5>(pointer.calls()[1]), reinterpret_cast<const void*>(12));
    if (gl::hasAttribDivisor) {
        ASSERT_EQ(divisor.count(), 2u) << "every recorded attribute gets its divisor";
        EXPECT_EQ(divisor.calls()[1], std::make_tuple(1u, 2u));
    }

    pointer.reset();
    array->object()->bind();
    EXPECT_EQ(pointer.count(), 0u) << "already bound: nothing replayed";
    array->setAttribute(2, buffer.get(), 1, 4, 5);
    EXPECT_EQ(pointer.count(), 1u) << "bound: applied at once";
}

TEST_F(EmulatedVertexArrayGLTest, ConstantsReplaceArraysAndReplayAsConstants)
{
    auto array = createArray();
    auto buffer = createBuffer(8);
    array->setAttribute(1, buffer.get(), 2, 0, 2);
    const float value[4] = { 0.25f, 0.5f, 0.75f, 1.0f };
    array->object()->setConstant4fv(1, value);

    GlCallCounter<gl::VertexAttribPointer> pointer;
    GlCallCounter<gl::DisableVertexAttribArray> disable;
    GlCallCounter<gl::VertexAttrib4fv> constant;
    array->object()->bind();
    EXPECT_EQ(pointer.count(), 0u) << "the constant replaced the array binding";
    EXPECT_EQ(disable.count(), 1u);
    ASSERT_EQ(constant.count(), 1u);
    EXPECT_EQ(std::get<0>(constant.calls()[0]), 1u);
}

TEST_F(VertexArrayGLTest, DestroyingTheBoundArrayClearsTheCache)
{
    for (bool native : { true, false }) {
        ScopedOverride<bool> kind(gl::hasVertexArrayObjects, native && gl::hasVertexArrayObjects);
        auto array = createArray();
        array->object()->bind();
        ASSERT_EQ(context()->current.vertexArray, array->object());
        GlCallCounter<gl::BindVertexArray> bindCalls;
        array = nullptr;
        // A stale entry would make a new array allocated at the same address skip its bind.
        EXPECT_EQ(context()->current.vertexArray, nullptr) << (native ? "native" : "emulated");
        if (native && gl::hasVertexArrayObjects) {
            ASSERT_EQ(bindCalls.count(), 1u);
            EXPECT_EQ(std::get<0>(bindCalls.calls()[0]), 0u) << "the bound native array is unbound first";
        }
    }
}

TEST_F(VertexArrayGLTest, NativeBindIsSkippedWhenCached)
{
    if (!gl::hasVertexArrayObjects)
        GTEST_SKIP() << "driver without vertex array objects";
    auto first = createArray();
    auto second = createArray();
    GlCallCounter<gl::BindVertexArray> bindCalls;
    first->object()->bind();
    first->object()->bind();
    second->object()->bind();
    first->object()->bind();
    EXPECT_EQ(bindCalls.count(), 3u);
}

TEST_F(VertexArrayGLTest, DrawMapsPrimitiveCodesAndIndexOffsets)
{
    auto array = createArray();
    // No real draws (nothing is set up to draw with): the counters over null entry points only
    // record the calls.
    ScopedOverride<decltype(gl::DrawArrays)> noArrays(gl::DrawArrays, nullptr);
    ScopedOverride<decltype(gl::DrawElements)> noElements(gl::DrawElements, nullptr);
    GlCallCounter<gl::DrawArrays> drawArrays;
    GlCallCounter<gl::DrawElements> drawElements;

    struct Row { const char* name; int code; unsigned mode; };
    const Row rows[] = {
        { "points", 1, GL_POINTS },
        { "triangles", 3, GL_TRIANGLES },
        { "triangle strip", 7, GL_TRIANGLE_STRIP },
        { "line loop", 10, GL_LINE_LOOP },
        { "triangle fan", 11, GL_TRIANGLE_FAN },
        { "triangle strip adjacency", 23, GL_TRIANGLE_STRIP_ADJACENCY },
        { "unknown code draws points", 5, GL_POINTS },
        { "patches", 35, GL_PATCHES },
    };
    for (const Row& row : rows) {
        drawArrays.reset();
        array->draw(row.code, 4, 6);
        ASSERT_EQ(drawArrays.count(), 1u) << row.name;
        EXPECT_EQ(drawArrays.calls()[0], std::make_tuple(GLenum(row.mode), 4, 6)) << row.name;
    }

    auto indices = createBuffer(16);
    array->setIndexBuffer(indices.get(), 3);
    array->draw(3, 2, 9);
    ASSERT_EQ(drawElements.count(), 1u);
    EXPECT_EQ(std::get<1>(drawElements.calls()[0]), 9);
    EXPECT_EQ(std::get<3>(drawElements.calls()[0]), reinterpret_cast<const void*>(4 * (3 + 2)))
        << "byte offset = element size x (index offset + first)";
    array->clearIndexBuffer();
    array->draw(3, 0, 3);
    EXPECT_EQ(drawElements.count(), 1u) << "without an index buffer, arrays are drawn again";
}

TEST_F(VertexArrayGLTest, PatchSizeIsSentOnlyWhenItChanges)
{
    if (!gl::hasPatchParameters)
        GTEST_SKIP() << "driver without patch parameters";
    auto array = createArray();
    // The counter over a null entry point swallows the draws (no tessellation program exists).
    ScopedOverride<decltype(gl::DrawArrays)> noDraw(gl::DrawArrays, nullptr);
    GlCallCounter<gl::DrawArrays> drawArrays;
    GlCallCounter<gl::PatchParameteri> patch;

    array->draw(35, 0, 3);
    EXPECT_EQ(patch.count(), 0u) << "3 vertices per patch is the starting size";
    array->draw(36, 0, 4);
    array->draw(36, 0, 4);
    ASSERT_EQ(patch.count(), 1u);
    EXPECT_EQ(patch.calls()[0], std::make_tuple(GLenum(GL_PATCH_VERTICES), 4));
    array->draw(35, 0, 3);
    EXPECT_EQ(patch.count(), 2u) << "back to 3 differs from the recorded 4";
    EXPECT_EQ(context()->current.patchVertices, 3);
    EXPECT_EQ(std::get<0>(drawArrays.calls().back()), GLenum(GL_PATCHES));
}
