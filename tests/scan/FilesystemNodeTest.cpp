// The size tree on its own: child-array growth, destruction of trees of any shape back to the
// pool, and node paths.
#include "scan/FilesystemNode.h"
#include "scan/NodePool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using orvex::UniquePtr;
using Type = FilesystemNode::Type;

namespace {

FilesystemNode* addChild(FilesystemNode* parent, Type type, std::string_view name)
{
    UniquePtr<FilesystemNode> child(new FilesystemNode);
    child->type = type;
    child->setName(name);
    child->parent = parent;
    FilesystemNode* added = child.get();
    parent->appendChild(std::move(child));
    return added;
}

UniquePtr<FilesystemNode> makeRoot(std::string_view name)
{
    UniquePtr<FilesystemNode> root(new FilesystemNode);
    root->type = Type::DIRECTORY;
    root->setName(name);
    return root;
}

TEST(FilesystemNode, ChildArrayGrowsByHalfPlusFifteenKeepingOrder)
{
    UniquePtr<FilesystemNode> directory = makeRoot("/d");
    std::vector<int64_t> capacities;
    std::vector<FilesystemNode*> added;
    for (int i = 0; i < 200; ++i) {
        added.push_back(addChild(directory.get(), Type::FILE, "f" + std::to_string(i)));
        if (capacities.empty() || capacities.back() != directory->children.capacity)
            capacities.push_back(directory->children.capacity);
    }
    EXPECT_EQ(capacities, (std::vector<int64_t> { 16, 40, 76, 130, 211 }));
    ASSERT_EQ(directory->children.count, 200);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(directory->children[i], added[size_t(i)]) << "child " << i << " moved when the array grew";
}

// A name or a child count past what the 48-byte node can count fails before anything changes,
// instead of wrapping into a short name or a negative count.
TEST(FilesystemNode, LimitsThrowAndLeaveTheNodeAsItWas)
{
    const char bytes[] = "x";
    const struct {
        const char* name;
        void (*exceed)(FilesystemNode* node, const char* bytes);
    } rows[] = {
        // Only the length is looked at before the throw: the bytes past the first are never read.
        { "NameLongerThanLongestName", [](FilesystemNode* node, const char* bytes) {
             node->setName(std::string_view(bytes, size_t(FilesystemNode::longestName) + 1));
         } },
        { "ReserveMoreThanMostChildren", [](FilesystemNode* node, const char*) {
             node->reserveChildren(FilesystemNode::mostChildren + 1);
         } },
        { "ChildArrayLargerThanMostChildren", [](FilesystemNode*, const char*) {
             FilesystemNode::allocateChildArray(FilesystemNode::mostChildren + 1);
         } },
        // A full folder of mostChildren is told by its counts alone; no element is touched.
        { "AppendToAFullFolder", [](FilesystemNode* node, const char*) {
             FilesystemNode::Children held = node->children;
             node->children = { nullptr, int32_t(FilesystemNode::mostChildren), int32_t(FilesystemNode::mostChildren) };
             try {
                 node->appendChild(UniquePtr<FilesystemNode>(new FilesystemNode));
             } catch (...) {
                 EXPECT_EQ(node->children.count, FilesystemNode::mostChildren);
                 node->children = held;
                 throw;
             }
             node->children = held;
         } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UniquePtr<FilesystemNode> folder(new FilesystemNode);
        folder->type = Type::DIRECTORY;
        FilesystemNode* child = addChild(folder.get(), Type::FILE, "kept");
        EXPECT_THROW(row.exceed(folder.get(), bytes), std::bad_alloc);
        EXPECT_EQ(folder->name.bytes, nullptr);
        EXPECT_EQ(folder->children.count, 1);
        EXPECT_EQ(folder->children.capacity, 16);
        EXPECT_EQ(folder->children[0], child);
    }
}

TEST(FilesystemNode, DestroyingATreeReturnsAllPoolMemory)
{
    const struct {
        const char* name;
        void (*build)(FilesystemNode* root);
    } shapes[] = {
        // Recursion one frame per level would overflow the stack long before the bottom.
        { "DeepChain", [](FilesystemNode* root) {
             for (int i = 0; i < 200000; ++i)
                 root = addChild(root, Type::DIRECTORY, "level");
         } },
        // A child array this large is mapped on its own, apart from the chunks.
        { "WideTree", [](FilesystemNode* root) {
             for (int i = 0; i < 30000; ++i) {
                 FilesystemNode* child = addChild(root, i % 10 ? Type::FILE : Type::DIRECTORY, "entry-" + std::to_string(i));
                 for (int j = 0; j < (i % 10 ? 0 : 20); ++j)
                     addChild(child, Type::FILE, "leaf");
             }
         } },
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        NodePool::retireThreadChunk();
        size_t before = NodePool::mappedBytes();
        {
            UniquePtr<FilesystemNode> root = makeRoot("/tree");
            shape.build(root.get());
            EXPECT_GT(NodePool::mappedBytes(), before);
        }
        NodePool::retireThreadChunk();
        EXPECT_EQ(NodePool::mappedBytes(), before) << "some node, name or child array was not given back";
    }
}

TEST(FilesystemNode, PathJoinsNamesWithOneSlash)
{
    const struct {
        const char* name;
        std::vector<std::string> names; // root first
        std::string path;
    } rows[] = {
#ifdef _WIN32
        // Windows paths: joined with '\\'; a root ending in either separator gets none more.
        { "RootAlone", { "C:\\data" }, "C:\\data" },
        { "DrivePath", { "C:\\data", "a", "b" }, "C:\\data\\a\\b" },
        { "DriveRoot", { "C:\\", "x" }, "C:\\x" },
        { "RootTypedWithSlashes", { "C:/data/", "a", "b" }, "C:/data/a\\b" },
        { "RelativeRoot", { "data", "a" }, "data\\a" },
        { "PosixRootFromAScanFile", { "/home/u", "a", "b" }, "/home/u/a/b" },
#else
        { "RootAlone", { "/srv/data" }, "/srv/data" },
        { "RootWithoutTrailingSlash", { "/srv/data", "a", "b" }, "/srv/data/a/b" },
        { "RootWithTrailingSlash", { "/srv/data/", "a", "b" }, "/srv/data/a/b" },
        { "FileSystemRoot", { "/", "etc" }, "/etc" },
        { "RelativeRoot", { "data", "a" }, "data/a" },
        { "RawNameBytes", { "/x", "\xff\xfe", "line\nbreak" }, "/x/\xff\xfe/line\nbreak" },
        { "BackslashIsPartOfAName", { "/x\\", "a\\b" }, "/x\\/a\\b" },
#endif
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UniquePtr<FilesystemNode> root = makeRoot(row.names[0]);
        FilesystemNode* node = root.get();
        for (size_t i = 1; i < row.names.size(); ++i)
            node = addChild(node, Type::DIRECTORY, row.names[i]);
        EXPECT_EQ(nodePath(node), row.path);
        EXPECT_EQ(node->name.bytes[node->name.length], '\0');
        bool leftOut = true;
        EXPECT_EQ(nodePathTail(node, root.get(), 64, leftOut), row.path) << "every level fits";
        EXPECT_FALSE(leftOut);
    }
}

// The tail of a deep path: the root, then only the last levels, each after a separator (also
// after a root that ends in one, so the levels left out show); at most 64 levels.
TEST(FilesystemNode, PathTailKeepsTheRootAndTheLastLevels)
{
    for (const char* rootName : { "/srv/deep", "/" }) {
        SCOPED_TRACE(rootName);
        UniquePtr<FilesystemNode> root = makeRoot(rootName);
        FilesystemNode* node = root.get();
        for (int i = 0; i < 20000; ++i)
            node = addChild(node, Type::DIRECTORY, "d" + std::to_string(i));
        bool leftOut = false;
        EXPECT_EQ(nodePathTail(node, root.get(), 3, leftOut), std::string(rootName) + "/d19997/d19998/d19999");
        EXPECT_TRUE(leftOut);
        const std::string longest = nodePathTail(node, root.get(), 1000, leftOut);
        EXPECT_EQ(std::count(longest.begin(), longest.end(), 'd'), 64 + (rootName[1] ? 1 : 0));
        EXPECT_EQ(nodePathTail(root.get(), root.get(), 3, leftOut), rootName);
        EXPECT_FALSE(leftOut);
    }
}

} // namespace
