// Editing a finished tree: a refreshed folder must equal a fresh scan of the disk at every level,
// and taking a node out must keep the rest of the tree and its sums exact.
#include "scan/TreeEdit.h"

#include "ScanTreeFixture.h"

#include <cstdio>
#include <map>

using orvex::UniquePtr;
using namespace scantest;

namespace {

// Every node by its path below the root: (type, size); and every parent link checked on the way.
std::map<std::string, std::pair<FilesystemNode::Type, uint64_t>> flatten(const FilesystemNode* root)
{
    std::map<std::string, std::pair<FilesystemNode::Type, uint64_t>> out;
    std::vector<std::pair<const FilesystemNode*, std::string>> open { { root, "" } };
    while (!open.empty()) {
        auto [node, path] = open.back();
        open.pop_back();
        out[path] = { node->type, node->size };
        for (int64_t i = 0; i < node->children.count; ++i) {
            EXPECT_EQ(node->children[i]->parent, node) << path;
            open.push_back({ node->children[i], path + "/" + std::string(node->children[i]->name.view()) });
        }
    }
    return out;
}

FilesystemNode* child(FilesystemNode* node, std::string_view name)
{
    for (int64_t i = 0; i < node->children.count; ++i)
        if (node->children[i]->name.view() == name)
            return node->children[i];
    return nullptr;
}

// The bytes `find` counts for the regular files under `path`.
uint64_t findTotal(const std::string& path)
{
    FILE* pipe = popen(("find '" + path + "' -type f -printf '%s\\n'").c_str(), "r");
    uint64_t total = 0, size = 0;
    while (pipe && fscanf(pipe, "%lu", &size) == 1)
        total += size;
    if (pipe)
        pclose(pipe);
    return total;
}

UniquePtr<FilesystemNode> node(FilesystemNode::Type type, std::string_view name, uint64_t size, FilesystemNode* parent)
{
    UniquePtr<FilesystemNode> made(new FilesystemNode);
    made->type = type;
    made->setName(name);
    made->size = size;
    made->parent = parent;
    return made;
}

} // namespace

TEST(TreeEdit, ARefreshedFolderEqualsAFullRescanAtEveryLevel)
{
    TempTree disk;
    makeRandomTree(disk, 7, 12, 60);
    disk.dir("top");
    disk.dir("top/mid");
    disk.dir("top/mid/old");
    disk.file("top/mid/old/a", 1000);
    disk.file("top/mid/grows", 10);
    disk.file("top/mid/goes", 300);
    disk.file("top/beside", 77);
    UniquePtr<FilesystemNode> tree = scanPath(disk.path());
    ASSERT_TRUE(tree);
    FilesystemNode* mid = child(child(tree.get(), "top"), "mid");
    ASSERT_TRUE(mid);

    // Added, grown, removed, a folder gone and a new one with content.
    disk.file("top/mid/grows", 5000);
    std::filesystem::remove(fsPath(disk.at("top/mid/goes")));
    std::filesystem::remove_all(fsPath(disk.at("top/mid/old")));
    disk.dir("top/mid/new");
    disk.file("top/mid/new/b", 123456);
    disk.file("top/mid/added", 42);

    for (FilesystemNode* target : { mid, tree.get() }) { // the root last: its refresh frees `mid`
        const std::string name(target->name.view());
        UniquePtr<FilesystemNode> fresh = scanPath(nodePath(target));
        ASSERT_TRUE(fresh);
        UniquePtr<FilesystemNode> old = TreeEdit::replaceContents(target, std::move(fresh));
        old = nullptr; // the old contents free through their own parent links
        UniquePtr<FilesystemNode> rescan = scanPath(disk.path());
        EXPECT_EQ(flatten(tree.get()), flatten(rescan.get()));
        EXPECT_EQ(tree->size, findTotal(disk.path()));
        EXPECT_EQ(child(tree.get(), "top")->size, findTotal(disk.at("top")));
        EXPECT_EQ(target->name.view(), name); // the folder keeps its node and name
    }
}

TEST(TreeEdit, DetachKeepsTheOrderAndEverySumSaturates)
{
    using Type = FilesystemNode::Type;
    UniquePtr<FilesystemNode> root = node(Type::DIRECTORY, "/r", 0, nullptr);
    root->appendChild(node(Type::FILE, "a", saturatedSize - 10, root.get()));
    root->appendChild(node(Type::DIRECTORY, "b", 20, root.get()));
    FilesystemNode* b = root->children[1];
    b->appendChild(node(Type::FILE, "c", 20, b));
    root->appendChild(node(Type::FILE, "d", 5, root.get()));
    TreeEdit::sumAncestors(b);
    EXPECT_EQ(root->size, saturatedSize);

    ScanProblems problems;
    problems.unlistedNodes = { b->children[0], root->children[2] };
    const FilesystemNode* c = b->children[0];
    EXPECT_EQ(TreeEdit::liftOutOf(c, b, root.get()), root.get());
    EXPECT_EQ(TreeEdit::liftOutOf(root->children[2], b, root.get()), root->children[2]);

    TreeEdit::forgetProblemsIn(problems, b, false);
    UniquePtr<FilesystemNode> taken = TreeEdit::detach(b);
    TreeEdit::joinProblems(problems, root.get(), nullptr, nullptr, nullptr);
    ASSERT_EQ(root->children.count, 2);
    EXPECT_EQ(root->children[0]->name.view(), "a");
    EXPECT_EQ(root->children[1]->name.view(), "d");
    EXPECT_EQ(root->size, saturatedSize - 5);
    EXPECT_EQ(taken->parent, nullptr);
    EXPECT_EQ(problems.unlistedNodes, std::vector<const FilesystemNode*> { root->children[1] });
    EXPECT_EQ(problems.unreadableFiles, 1u);
    EXPECT_EQ(problems.firstUnlistedPath, "/r/d");
    EXPECT_FALSE(problems.saturated);

    // A folder whose fresh scan could not list it stays listed under its own node.
    UniquePtr<FilesystemNode> fresh = node(Type::DIRECTORY, "/r/b", 0, nullptr);
    ScanProblems freshProblems;
    freshProblems.unlistedNodes = { fresh.get() };
    freshProblems.firstError = 13;
    root->appendChild(node(Type::DIRECTORY, "e", 0, root.get()));
    FilesystemNode* e = root->children[2];
    TreeEdit::forgetProblemsIn(problems, e, true);
    const FilesystemNode* freshRoot = fresh.get();
    UniquePtr<FilesystemNode> old = TreeEdit::replaceContents(e, std::move(fresh));
    TreeEdit::joinProblems(problems, root.get(), &freshProblems, freshRoot, e);
    EXPECT_EQ(problems.unlistedNodes, (std::vector<const FilesystemNode*> { root->children[1], e }));
    EXPECT_EQ(problems.unlistedDirectories, 1u);
}

// Taking out the first, the middle or the last of three children leaves the other two in order.
TEST(TreeEdit, DetachAnyOfThreeKeepsTheSiblingsInOrder)
{
    using Type = FilesystemNode::Type;
    const std::vector<std::string> names { "x", "y", "z" };
    for (size_t taken = 0; taken < names.size(); ++taken) {
        SCOPED_TRACE("detaching " + names[taken]);
        UniquePtr<FilesystemNode> root = node(Type::DIRECTORY, "/r", 0, nullptr);
        for (size_t i = 0; i < names.size(); ++i)
            root->appendChild(node(Type::FILE, names[i], uint64_t(1) << (4 * i), root.get()));
        UniquePtr<FilesystemNode> out = TreeEdit::detach(root->children[int64_t(taken)]);
        EXPECT_EQ(out->name.view(), names[taken]);
        std::vector<std::string> left, expected;
        for (int64_t i = 0; i < root->children.count; ++i) {
            left.emplace_back(root->children[i]->name.view());
            EXPECT_EQ(root->children[i]->parent, root.get());
        }
        for (size_t i = 0; i < names.size(); ++i)
            if (i != taken)
                expected.push_back(names[i]);
        EXPECT_EQ(left, expected);
        EXPECT_EQ(root->size, 0x111u - (uint64_t(1) << (4 * taken)));
    }
}

// A folder that could not be listed and still cannot when refreshed stays in the problems list once,
// under its own node and in its place, so the first path and its reason stay what they were.
TEST(TreeEdit, RefreshThatStillFailsKeepsTheFolderFirstInTheProblems)
{
    using Type = FilesystemNode::Type;
    UniquePtr<FilesystemNode> root = node(Type::DIRECTORY, "/r", 0, nullptr);
    root->appendChild(node(Type::DIRECTORY, "e", 0, root.get()));
    root->appendChild(node(Type::FILE, "d", 7, root.get()));
    FilesystemNode* e = root->children[0];
    const FilesystemNode* d = root->children[1];
    ScanProblems problems;
    problems.unlistedNodes = { e, d };
    problems.unlistedDirectories = problems.unreadableFiles = 1;
    problems.firstUnlistedPath = "/r/e";
    problems.firstError = 13;

    UniquePtr<FilesystemNode> fresh = node(Type::DIRECTORY, "/r/e", 0, nullptr);
    ScanProblems freshProblems;
    freshProblems.unlistedNodes = { fresh.get() };
    freshProblems.unlistedDirectories = 1;
    freshProblems.firstUnlistedPath = "/r/e";
    freshProblems.firstError = 13;
    freshProblems.rootUnlisted = true;
    const FilesystemNode* freshRoot = fresh.get();
    TreeEdit::forgetProblemsIn(problems, e, true);
    UniquePtr<FilesystemNode> old = TreeEdit::replaceContents(e, std::move(fresh));
    TreeEdit::joinProblems(problems, root.get(), &freshProblems, freshRoot, e);

    EXPECT_EQ(problems.unlistedNodes, (std::vector<const FilesystemNode*> { e, d }));
    EXPECT_EQ(problems.unlistedDirectories, 1u);
    EXPECT_EQ(problems.unreadableFiles, 1u);
    EXPECT_EQ(problems.firstUnlistedPath, "/r/e");
    EXPECT_EQ(problems.firstError, 13);
    EXPECT_FALSE(problems.rootUnlisted);
}
