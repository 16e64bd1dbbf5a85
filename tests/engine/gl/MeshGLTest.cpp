// Buffers and dynamic meshes against a real context: buffer content read back after uploads and
// partial updates, growth to exactly the size asked for, and writes clipped at the capacity.
#include "GlTestContext.h"

#include "engine/core/UniquePtr.h"
#include "engine/gl/BufferObject.h"
#include "engine/gl/Mesh.h"

#include <tuple>
#include <type_traits>

using namespace orvex;

// A copied buffer would delete its GL name twice.
static_assert(!std::is_copy_constructible_v<BufferObject> && std::is_nothrow_move_constructible_v<BufferObject>);
using orvex::test::GlCallCounter;

namespace {

class MeshGLTest : public orvex::test::GlTest {
protected:
    static std::vector<float> readBack(const BufferObject& buffer, size_t firstFloat, size_t count)
    {
        std::vector<float> floats(count);
        gl::BindBuffer(GL_ARRAY_BUFFER, buffer.name());
        gl::GetBufferSubData(GL_ARRAY_BUFFER, GLintptr(firstFloat * 4), GLsizeiptr(count * 4), floats.data());
        return floats;
    }
    static std::vector<TexturedVertex> vertices(int count, float seed)
    {
        std::vector<TexturedVertex> list;
        for (int i = 0; i < count; ++i)
            list.push_back({ seed + i, 1, 2, 3, 4 });
        return list;
    }
};

} // namespace

TEST_F(MeshGLTest, BufferUploadAndUpdateAreReadBack)
{
    UniquePtr<BufferObject> buffer(context()->createBuffer(std::vector<float> { 1, 2, 3, 4, 5, 6 }, 1));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->elementType(), unsigned(GL_FLOAT));
    EXPECT_EQ(buffer->elementCount(), 6u);
    EXPECT_EQ(buffer->usage(), unsigned(GL_DYNAMIC_DRAW));
    const float middle[] = { 30, 40 };
    buffer->update(2, middle, 2);
    EXPECT_EQ(readBack(*buffer, 0, 6), (std::vector<float> { 1, 2, 30, 40, 5, 6 }));

    UniquePtr<BufferObject> empty(context()->createBuffer(0));
    EXPECT_EQ(empty->elementType(), unsigned(GL_INVALID_ENUM)) << "no data given yet";
}

TEST_F(MeshGLTest, GrowingReallocatesExactlyTheVerticesAskedFor)
{
    auto mesh = createDynamicMesh<TexturedVertex>(*context(), 3, 4, 1);
    ASSERT_NE(mesh, nullptr);
    mesh->indexBuffer.reset(context()->createBuffer(size_t(6), 0));
    mesh->vertexArray->setIndexBuffer(mesh->indexBuffer.get(), 0);
    mesh->vertexCount = 4;

    GlCallCounter<gl::BufferData> bufferData;
    mesh->grow(4);
    EXPECT_EQ(bufferData.count(), 0u) << "the capacity already suffices";
    mesh->grow(10);
    ASSERT_EQ(bufferData.count(), 1u);
    EXPECT_EQ(std::get<1>(bufferData.calls()[0]), GLsizeiptr(10 * sizeof(TexturedVertex))) << "no headroom";
    EXPECT_EQ(std::get<3>(bufferData.calls()[0]), GLenum(GL_DYNAMIC_DRAW)) << "the mesh's usage";
    EXPECT_EQ(mesh->vertexCapacity, 10);
    EXPECT_EQ(mesh->vertexCount, 0);
    EXPECT_EQ(mesh->indexBuffer, nullptr);
    EXPECT_EQ(mesh->vertexArray->indexBuffer(), nullptr);
}

TEST_F(MeshGLTest, WritesStopAtTheCapacity)
{
    auto mesh = createDynamicMesh<TexturedVertex>(*context(), 3, 4, 1);
    ASSERT_NE(mesh, nullptr);
    struct Row { const char* name; int first, count, written; };
    const Row rows[] = {
        { "inside", 0, 3, 3 }, { "cut at the end", 2, 5, 2 }, { "at the end", 4, 1, 0 }, { "past the end", 6, 1, 0 },
        { "negative first", -1, 2, 0 },
    };
    for (const Row& row : rows)
        EXPECT_EQ(mesh->write(row.first, vertices(row.count, 10).data(), row.count), row.written) << row.name;
    const std::vector<float> tail = readBack(*mesh->vertexBuffer, 2 * 5, 10);
    EXPECT_EQ(tail[0], 10.0f);
    EXPECT_EQ(tail[5], 11.0f);

    EXPECT_EQ(mesh->replace(vertices(3, 20)), 3);
    EXPECT_EQ(mesh->vertexCount, 3);
    EXPECT_EQ(mesh->replace(vertices(7, 30)), 7) << "replace grows first";
    EXPECT_EQ(mesh->vertexCapacity, 7);
    EXPECT_EQ(mesh->vertexCount, 7);
    EXPECT_EQ(readBack(*mesh->vertexBuffer, 6 * 5, 1)[0], 36.0f);
}
