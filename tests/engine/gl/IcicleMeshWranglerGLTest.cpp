// The chart's GPU mesh: createOptimizedMesh must put into its buffer exactly the vertex stream that
// IcicleOptimization builds (compared by reading the buffer back), read it as whole 56-byte
// GeometryVertex records, and leave a usable result without a mesh when GL fails.
#include "GlTestContext.h"
#include "ScopedOverride.h"

#include "icicle/IcicleMeshWrangler.h"
#include "icicle/IcicleOptimization.h"
#include "tests/icicle/TreeBuilder.h"

#include <cstring>
#include <functional>
#include <tuple>

using namespace orvex;
using orvex::test::GlCallCounter;

namespace {

// Keeps the stream as IcicleOptimization hands it over, for comparison with the GPU buffer.
class RecordingUploader final : public IcicleOptimization::VertexUploader {
public:
    void allocate(int64_t totalCount, int64_t) override { buffer.assign(size_t(totalCount), GeometryVertex {}); }
    void upload(int64_t first, const GeometryVertex* vertices, int64_t count, bool, int64_t) override
    {
        std::memcpy(buffer.data() + first, vertices, size_t(count) * sizeof(GeometryVertex));
    }
    std::vector<GeometryVertex> buffer;
};

const auto smallTree = testtree::dir("/a root name of thirty bytes..", {
    testtree::file("big", 6000),
    testtree::dir("sub", { testtree::file("a", 3000), testtree::file("b", 40), testtree::file("tiny", 1) }),
    testtree::file("empty", 0),
});

using IcicleMeshWranglerGLTest = orvex::test::GlTest;

} // namespace

TEST_F(IcicleMeshWranglerGLTest, BufferHoldsTheStreamIcicleOptimizationBuilt)
{
    struct Row { const char* name; std::function<UniquePtr<FilesystemNode>()> tree; int64_t baseCount; };
    const Row rows[] = {
        { "small tree with a split root name", [] { return testtree::build(smallTree); }, 2 },
        { "random tree", [] { return testtree::random(5, 400); }, 1 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        IcicleNodeLookup expectedLookup;
        RecordingUploader recorded;
        IcicleOptimization::Result expected = IcicleOptimization::build(expectedLookup, row.tree(), 1, recorded);

        IcicleNodeLookup lookup;
        IcicleMesh<MasterPtr, int> result = IcicleMeshWrangler::createOptimizedMesh(lookup, context(), row.tree(), 1);
        ASSERT_NE(result.mesh, nullptr);
        const int total = int(recorded.buffer.size());
        EXPECT_EQ(result.mesh->primitive, 1) << "points";
        EXPECT_EQ(result.mesh->vertexCount, total);
        EXPECT_EQ(result.mesh->vertexCapacity, total);
        EXPECT_EQ(result.mesh->vertexBuffer->usage(), unsigned(GL_STATIC_DRAW));
        EXPECT_EQ(result.baseCount, row.baseCount);
        EXPECT_EQ(result.baseCount, expected.baseCount);
        EXPECT_EQ(result.totalSize, expected.totalSize);
        ASSERT_NE(result.levelIndex, nullptr);
        EXPECT_EQ(result.levelIndex->keys, expected.levelIndex->keys);
        EXPECT_NE(lookup.root(), nullptr) << "the lookup took the tree";

        std::vector<GeometryVertex> onGpu(recorded.buffer.size());
        gl::BindBuffer(GL_ARRAY_BUFFER, result.mesh->vertexBuffer->name());
        gl::GetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(onGpu.size() * sizeof(GeometryVertex)), onGpu.data());
        EXPECT_EQ(std::memcmp(onGpu.data(), recorded.buffer.data(), onGpu.size() * sizeof(GeometryVertex)), 0);
    }
}

TEST_F(IcicleMeshWranglerGLTest, AttributesReadWholeGeometryVertices)
{
    GlCallCounter<gl::VertexAttribPointer> pointer;
    IcicleNodeLookup lookup;
    auto result = IcicleMeshWrangler::createOptimizedMesh(lookup, context(), testtree::build(smallTree), 1);
    ASSERT_NE(result.mesh, nullptr);
    // Locations 0 and 1 take three floats each, 2-9 one name float each; stride and offsets in bytes.
    ASSERT_EQ(pointer.count(), 10u);
    for (GLuint location = 0; location < 10; ++location) {
        const auto& [index, size, type, normalized, stride, offset] = pointer.calls()[location];
        EXPECT_EQ(index, location);
        EXPECT_EQ(size, location < 2 ? 3 : 1) << "location " << location;
        EXPECT_EQ(type, GLenum(GL_FLOAT));
        EXPECT_EQ(stride, 56);
        EXPECT_EQ(offset, reinterpret_cast<const void*>(uintptr_t(location < 2 ? 12 * location : 4 * (location + 4))))
            << "location " << location;
    }
}

TEST_F(IcicleMeshWranglerGLTest, FailedBufferCreationLeavesNoMeshButACompleteLookup)
{
    ScopedOverride<decltype(gl::GenBuffers)> noBuffers(gl::GenBuffers, [](GLsizei n, GLuint* names) {
        for (GLsizei i = 0; i < n; ++i)
            names[i] = 0;
    });
    IcicleNodeLookup lookup;
    auto result = IcicleMeshWrangler::createOptimizedMesh(lookup, context(), testtree::build(smallTree), 1);
    EXPECT_EQ(result.mesh, nullptr);
    EXPECT_EQ(result.baseCount, 2);
    ASSERT_NE(result.levelIndex, nullptr);
    ASSERT_NE(lookup.root(), nullptr);
    EXPECT_EQ(lookup.nodeAt(100.0, 1.5), testtree::child(const_cast<FilesystemNode*>(lookup.root()), "big"));
}

TEST_F(IcicleMeshWranglerGLTest, NullRootGivesAnEmptyResult)
{
    IcicleNodeLookup lookup;
    auto result = IcicleMeshWrangler::createOptimizedMesh(lookup, context(), nullptr, 1);
    EXPECT_EQ(result.mesh, nullptr);
    EXPECT_EQ(result.levelIndex, nullptr);
    EXPECT_EQ(result.baseCount, 0);
    EXPECT_EQ(result.totalSize, 1.0);
    EXPECT_EQ(lookup.root(), nullptr);
}
