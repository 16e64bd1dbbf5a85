// What the walk makes of a real directory tree: listing order and sums despite the read-ahead,
// which entries become nodes, names kept byte for byte, unreadable directories, and the places
// the walk refuses to descend (an ancestor mounted again, kernel pseudo file systems).
#include "ScanTreeFixture.h"

#include <algorithm>
#include <grp.h>
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>

using orvex::UniquePtr;
using Type = FilesystemNode::Type;
using namespace scantest;

namespace {

// Checks parent links and sums at every level and that each directory's children come in the
// order a plain readdir() of it gives. Counts the nodes below `node`.
void expectTreeMatchesDisk(const FilesystemNode* node, const std::string& path, int64_t& directories, int64_t& files)
{
    if (node->type == Type::FILE) {
        files += 1;
        return;
    }
    directories += 1;
    std::vector<std::string> names;
    for (int64_t i = 0; i < node->children.count; ++i) {
        names.emplace_back(node->children[i]->name.view());
        EXPECT_EQ(node->children[i]->parent, node);
    }
    EXPECT_EQ(names, plainListing(path)) << "children of " << path << " are not in listing order";
    EXPECT_EQ(node->size, childSum(node)) << path;
    for (int64_t i = 0; i < node->children.count; ++i)
        expectTreeMatchesDisk(node->children[i], path + "/" + names[size_t(i)], directories, files);
}

// The scan's tree and what it could not read, from a scanner of its own.
UniquePtr<FilesystemNode> scanWithProblems(const std::string& path, ScanProblems& problems)
{
    FileSizeMapper mapper;
    mapper.mapDirectory(path);
    if (!finishes(mapper))
        return nullptr;
    problems = mapper.problems();
    return mapper.takeResult();
}

int64_t countFiles(const FilesystemNode* root)
{
    int64_t files = 0;
    std::vector<const FilesystemNode*> stack { root };
    while (!stack.empty()) {
        const FilesystemNode* node = stack.back();
        stack.pop_back();
        files += node->type == Type::FILE;
        for (int64_t i = 0; i < node->children.count; ++i)
            stack.push_back(node->children[i]);
    }
    return files;
}

// Walks `path` once before a test lowers the descriptor limit. The undefined-behaviour
// sanitizer checks a virtual call's object type the first time it sees that type and needs a
// pipe to do so; in a walk that has taken every free descriptor that check would fail and
// report a fault that is not there. One walk with descriptors to spare fills its cache.
void walkOnceBeforeLimiting(const std::string& path)
{
    UniquePtr<FilesystemNode> warmUp = scanPath(path);
}

TEST(FileSizeMapperWalk, TreeAndNotificationsFollowTheListingOrder)
{
    TempTree tree;
    uint64_t total = makeRandomTree(tree, 3, 300, 3000);
    // One directory too long for a single getdents buffer, with names of varied length.
    tree.dir("wide");
    tree.file("wide/w", 777);
    for (int i = 1; i < 2500; ++i)
        tree.hardlink("wide/w", "wide/w" + std::string(size_t(i % 50), 'x') + std::to_string(i));
    total += 2500 * 777;
    WalkChecker checker;
    UniquePtr<FilesystemNode> root = scanPath(tree.path(), &checker);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->size, total);
    int64_t directories = 0, files = 0;
    expectTreeMatchesDisk(root.get(), tree.path(), directories, files);
    EXPECT_EQ(directories, 302);
    EXPECT_EQ(files, 5500);
    EXPECT_EQ(checker.entered, directories);
    EXPECT_EQ(checker.left, directories);
    EXPECT_EQ(checker.files, files);
}

TEST(FileSizeMapperWalk, OnlyRegularFilesAndDirectoriesBecomeNodes)
{
    TempTree tree;
    tree.file("plain", 1000);
    tree.file("empty", 0);
    tree.file("sparse", uint64_t(5) << 30);
    tree.file("with space", 1);
    tree.file("line\nbreak", 2);
    tree.file("\xff\xfe", 3);
    tree.dir("empty-dir");
    tree.dir("zeros");
    tree.file("zeros/a", 0);
    tree.file("zeros/b", 0);
    tree.dir("sub");
    tree.file("sub/inner", 500);
    tree.hardlink("plain", "hard");
    tree.symlink("plain", "to-file");
    tree.symlink("sub", "to-dir");
    tree.symlink("..", "to-parent");
    tree.symlink("nowhere", "dangling");
    tree.symlink("loop-b", "loop-a");
    tree.symlink("loop-a", "loop-b");
    ASSERT_EQ(mkfifo(tree.at("fifo").c_str(), 0644), 0);
    tree.socket("socket");

    const struct {
        const char* name;
        bool present;
        Type type;
        uint64_t size;
        int64_t children;
    } rows[] = {
        { "plain", true, Type::FILE, 1000, 0 },
        { "hard", true, Type::FILE, 1000, 0 }, // counted once per directory entry
        { "empty", true, Type::FILE, 0, 0 },
        { "sparse", true, Type::FILE, uint64_t(5) << 30, 0 }, // logical length, not blocks
        { "with space", true, Type::FILE, 1, 0 },
        { "line\nbreak", true, Type::FILE, 2, 0 },
        { "\xff\xfe", true, Type::FILE, 3, 0 },
        { "empty-dir", true, Type::DIRECTORY, 0, 0 },
        { "zeros", true, Type::DIRECTORY, 0, 2 },
        { "sub", true, Type::DIRECTORY, 500, 1 },
        { "to-file", false, Type::FILE, 0, 0 },
        { "to-dir", false, Type::FILE, 0, 0 },
        { "to-parent", false, Type::FILE, 0, 0 },
        { "dangling", false, Type::FILE, 0, 0 },
        { "loop-a", false, Type::FILE, 0, 0 },
        { "fifo", false, Type::FILE, 0, 0 },
        { "socket", false, Type::FILE, 0, 0 },
    };
    UniquePtr<FilesystemNode> root = scanPath(tree.path());
    ASSERT_NE(root, nullptr);
    int64_t present = 0;
    uint64_t total = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const FilesystemNode* node = findChild(root.get(), row.name);
        if (!row.present) {
            EXPECT_EQ(node, nullptr);
            continue;
        }
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->type, row.type);
        EXPECT_EQ(node->size, row.size);
        EXPECT_EQ(node->children.count, row.children);
        EXPECT_EQ(node->children.capacity, row.children) << "the walk sizes each child array to its listing";
        EXPECT_EQ(node->name.length, std::strlen(row.name));
        present += 1;
        total += row.size;
    }
    EXPECT_EQ(root->children.count, present);
    EXPECT_EQ(root->children.capacity, present);
    EXPECT_EQ(root->size, total);
}

TEST(FileSizeMapperWalk, RootThatIsASymlinkToADirectoryIsFollowed)
{
    TempTree tree;
    tree.dir("real");
    tree.file("real/a", 70);
    tree.symlink(tree.at("real"), "link");
    UniquePtr<FilesystemNode> root = scanPath(tree.at("link"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->type, Type::DIRECTORY);
    EXPECT_EQ(root->name.view(), tree.at("link"));
    EXPECT_EQ(root->size, 70u);
    EXPECT_NE(findChild(root.get(), "a"), nullptr);
}

TEST(FileSizeMapperWalk, DeepChainSumsEveryLevel)
{
    TempTree tree;
    std::string path;
    tree.file("f", 1);
    for (int level = 0; level < 300; ++level) {
        path += "c/";
        tree.dir(path);
        tree.hardlink("f", path + "f");
    }
    UniquePtr<FilesystemNode> root = scanPath(tree.path());
    ASSERT_NE(root, nullptr);
    const FilesystemNode* node = root.get();
    for (uint64_t level = 0; level <= 300; ++level) {
        ASSERT_EQ(node->size, 301 - level) << "level " << level;
        node = findChild(node, "c");
        if (level < 300) {
            ASSERT_NE(node, nullptr) << "the chain ends at level " << level;
        }
    }
    EXPECT_EQ(node, nullptr);
}

// A directory that denies listing is an empty node; one that lists its names but denies
// access to them keeps its files at 0 bytes, counted and marked as unreadable, and its
// subdirectories empty.
TEST(FileSizeMapperWalk, DeniedDirectoriesCountNothingAndTheScanGoesOn)
{
    TempTree tree;
    tree.file("before", 10);
    tree.dir("locked");
    tree.file("locked/hidden", 99);
    tree.dir("names-only");
    tree.file("names-only/file", 50);
    tree.dir("names-only/sub");
    tree.file("names-only/sub/deeper", 60);
    tree.dir("after");
    tree.file("after/x", 20);
    ASSERT_EQ(chmod(tree.at("locked").c_str(), 0), 0);
    ASSERT_EQ(chmod(tree.at("names-only").c_str(), 0444), 0);
    auto scanAndCheck = [&]() -> std::string {
        if (access(tree.at("locked").c_str(), R_OK) == 0)
            return "SKIP: this user can still read a directory with mode 000";
        ScanProblems problems;
        UniquePtr<FilesystemNode> root = scanWithProblems(tree.path(), problems);
        if (!root)
            return "the scan gave no result";
        // "locked" and "names-only/sub" could not be listed, the size of "names-only/file" not
        // read; the rest could.
        if (problems.unlistedDirectories != 2 || problems.unreadableFiles != 1 || problems.firstError != EACCES
            || problems.rootUnlisted
            || (problems.firstUnlistedPath != tree.at("locked") && problems.firstUnlistedPath != tree.at("names-only/sub")
                && problems.firstUnlistedPath != tree.at("names-only/file")))
            return "unreadable entries reported as " + std::to_string(problems.unlistedDirectories) + " directories and "
                + std::to_string(problems.unreadableFiles) + " files, first " + problems.firstUnlistedPath;
        ScanProblems lockedProblems;
        UniquePtr<FilesystemNode> lockedRoot = scanWithProblems(tree.at("locked"), lockedProblems);
        if (!lockedRoot || !lockedProblems.rootUnlisted || lockedProblems.unlistedDirectories != 1)
            return "an unreadable root is not reported as such";
        const FilesystemNode* locked = findChild(root.get(), "locked");
        if (!locked || locked->type != Type::DIRECTORY || locked->children.count != 0)
            return "the unlistable directory is not an empty directory node";
        const FilesystemNode* namesOnly = findChild(root.get(), "names-only");
        const FilesystemNode* file = namesOnly ? findChild(namesOnly, "file") : nullptr;
        const FilesystemNode* sub = namesOnly ? findChild(namesOnly, "sub") : nullptr;
        if (!file || file->type != Type::FILE || file->size != 0 || !sub || sub->children.count != 0)
            return "entries of a directory that denies access are not a 0-byte file and an empty directory";
        const std::vector<const FilesystemNode*>& marked = problems.unlistedNodes;
        if (marked.size() != 3 || std::count(marked.begin(), marked.end(), file) != 1
            || std::count(marked.begin(), marked.end(), sub) != 1)
            return "the unreadable file and directory are not both among the marked nodes";
        if (root->size != 30 || root->children.count != 4)
            return "the scan did not go on past the unlistable directory: " + std::to_string(root->size) + " bytes";
        return "";
    };
    std::string verdict;
    if (geteuid() != 0) {
        verdict = scanAndCheck();
    } else {
        // Root reads any directory; only an unprivileged user sees the denial.
        verdict = runInChild([&]() -> std::string {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                return std::string("SKIP: cannot drop root privileges to uid 65534: ") + std::strerror(errno);
            return scanAndCheck();
        });
    }
    chmod(tree.at("locked").c_str(), 0755);
    chmod(tree.at("names-only").c_str(), 0755);
    if (verdict.rfind("SKIP:", 0) == 0)
        GTEST_SKIP() << verdict.substr(6);
    EXPECT_EQ(verdict, "");
}

TEST(FileSizeMapperWalk, AncestorMountedAgainAndPseudoFileSystemsAreNotDescended)
{
    TempTree tree;
    tree.file("data", 4096);
    tree.dir("sub");
    tree.dir("sub/again");
    tree.dir("kernel");
    // The mounts live in the child's own mount namespace and vanish with it.
    std::string verdict = runInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("SKIP: no private mount namespace: ") + std::strerror(errno);
        if (mount(tree.path().c_str(), tree.at("sub/again").c_str(), nullptr, MS_BIND, nullptr) != 0
            || mount("/proc/sys/fs", tree.at("kernel").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("SKIP: bind mounts are refused: ") + std::strerror(errno);
        UniquePtr<FilesystemNode> root = scanPath(tree.path());
        if (!root)
            return "the scan gave no result";
        const FilesystemNode* sub = findChild(root.get(), "sub");
        const FilesystemNode* again = sub ? findChild(sub, "again") : nullptr;
        if (!again || again->type != Type::DIRECTORY || again->children.count != 0)
            return "the root mounted again below itself was walked again";
        const FilesystemNode* kernel = findChild(root.get(), "kernel");
        if (!kernel || kernel->type != Type::DIRECTORY || kernel->children.count != 0)
            return "the proc file system below the root was walked";
        if (root->size != 4096)
            return "the root holds " + std::to_string(root->size) + " bytes instead of 4096";
        UniquePtr<FilesystemNode> pseudoRoot = scanPath(tree.at("kernel"));
        if (!pseudoRoot || pseudoRoot->children.count == 0)
            return "a root on a pseudo file system was not walked as asked";
        return "";
    });
    if (verdict.rfind("SKIP:", 0) == 0)
        GTEST_SKIP() << verdict.substr(6);
    EXPECT_EQ(verdict, "");
}

} // namespace

// A directory keeps its descriptor while its later subdirectories wait, so a tree that branches at
// every level holds one per level. Out of descriptors, reading ahead stops and the walk reads the
// rest itself instead of listing directories as empty; a low soft limit is raised to the hard one.
TEST(FileSizeMapperWalk, RunningOutOfDescriptorsListsNoDirectoryEmpty)
{
    TempTree tree;
    std::string path;
    int directories = 1, files = 0;
    for (int level = 0; level < 24; ++level) {
        for (const char* side : { "a", "b", "c", "d" }) {
            tree.dir(path + side);
            tree.file(path + side + "/f", 1);
            directories += 1;
            files += 1;
        }
        path += "a/";
    }
    struct Case {
        const char* label;
        rlim_t soft, hard;
    };
    for (Case limits : { Case { "hard limit 48: read-ahead leaves the walk its descriptors", 48, 48 },
                         Case { "soft limit 16 is raised", 16, 0 } }) {
        std::string verdict = runInChild([&]() -> std::string {
            walkOnceBeforeLimiting(tree.path());
            rlimit limit {};
            getrlimit(RLIMIT_NOFILE, &limit);
            if (limits.hard == 0 && limit.rlim_max < 512)
                return "SKIP: the hard descriptor limit is too low to raise the soft one";
            limit.rlim_cur = limits.soft;
            if (limits.hard)
                limit.rlim_max = limits.hard;
            if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
                return "SKIP: cannot lower the descriptor limit";
            UniquePtr<FilesystemNode> root = scanPath(tree.path());
            if (!root)
                return "no tree";
            int64_t seenDirectories = 0, seenFiles = 0;
            expectTreeMatchesDisk(root.get(), tree.path(), seenDirectories, seenFiles);
            if (seenDirectories != directories || seenFiles != files)
                return "found " + std::to_string(seenDirectories) + " directories and " + std::to_string(seenFiles) + " files";
            return "";
        });
        if (verdict.rfind("SKIP:", 0) == 0)
            std::printf("%s: %s\n", limits.label, verdict.c_str());
        else
            EXPECT_EQ(verdict, "") << limits.label;
    }
}

// A comb: every level holds the next level, an empty sibling directory and a 1-byte file, so a
// walk that keeps a directory's descriptor for its later subdirectories needs one per level.
// Whatever the limit, the total must be exact and no directory reported unreadable, every run.
TEST(FileSizeMapperWalk, DescriptorShortageNeverShrinksTheTotal)
{
    TempTree tree;
    std::string path;
    for (int level = 0; level < 1500; ++level) {
        tree.dir(path + "e");
        tree.file(path + "f", 1);
        tree.dir(path + "n");
        path += "n/";
    }
    struct Case {
        int levels;
        rlim_t spare; // descriptors left free beyond those the forked child already holds
    };
    // 2 spare is what `ulimit -n 5` leaves a tool with only its three standard streams.
    for (Case c : { Case { 200, 12 }, Case { 200, 2 }, Case { 1500, 300 } }) {
        std::string verdict = runInChild([&]() -> std::string {
            std::string top = tree.path(); // a shorter comb is the bottom part of the long one
            for (int level = 0; level < 1500 - c.levels; ++level)
                top += "/n";
            walkOnceBeforeLimiting(top);
            rlim_t held = 0;
            for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
                held += entry.path().filename() != "." ? 1 : 0;
            rlimit limit { held - 1 + c.spare, held - 1 + c.spare }; // less the iterator's own
            if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
                return "SKIP: cannot lower the descriptor limit";
            for (int run = 0; run < 3; ++run) {
                ScanProblems problems;
                UniquePtr<FilesystemNode> scanned = scanWithProblems(top, problems);
                if (!scanned)
                    return "no tree";
                if (countFiles(scanned.get()) != c.levels || scanned->size != uint64_t(c.levels))
                    return "run " + std::to_string(run) + ": " + std::to_string(countFiles(scanned.get())) + " files, "
                        + std::to_string(scanned->size) + " bytes";
                if (problems.unlistedDirectories != 0)
                    return "run " + std::to_string(run) + ": reported unreadable: " + problems.firstUnlistedPath + ": "
                        + std::strerror(problems.firstError);
            }
            return "";
        });
        EXPECT_EQ(verdict, "") << c.levels << " levels with " << c.spare << " spare descriptors";
    }
}

// Sparse files can claim 2^63 - 1 bytes each; three of them exceed what 64 bits hold. Every sum
// (the directories and the running byte count) stops at 2^64 - 1 and says so instead of wrapping
// to a small, believable total.
TEST(FileSizeMapperWalk, TotalsSaturateInsteadOfWrapping)
{
    struct statfs shm {};
    if (statfs("/dev/shm", &shm) != 0 || shm.f_type != TMPFS_MAGIC)
        GTEST_SKIP() << "no tmpfs at /dev/shm for sparse files of 2^63 - 1 bytes";
    char pattern[] = "/dev/shm/velbrin-sparse-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string top = pattern;
    const uint64_t huge = (uint64_t(1) << 63) - 1;
    auto makeFile = [](const std::string& path, uint64_t size) {
        int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        check(fd >= 0 && ftruncate(fd, off_t(size)) == 0, "sparse file " + path);
        close(fd);
    };
    ASSERT_EQ(mkdir((top + "/pair").c_str(), 0755), 0);
    makeFile(top + "/pair/a", huge);
    makeFile(top + "/pair/b", huge);
    makeFile(top + "/c", huge);
    makeFile(top + "/small", 7);

    FileSizeMapper mapper;
    mapper.mapDirectory(top);
    ASSERT_TRUE(finishes(mapper));
    uint64_t mapped = 0;
    stateOf(mapper, &mapped);
    ScanProblems problems = mapper.problems();
    UniquePtr<FilesystemNode> root = mapper.takeResult();
    std::filesystem::remove_all(top);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(findChild(root.get(), "pair")->size, 2 * huge) << "a sum that fits must stay exact";
    EXPECT_EQ(root->size, saturatedSize);
    EXPECT_EQ(mapped, saturatedSize);
    EXPECT_TRUE(problems.saturated);
    EXPECT_EQ(problems.unlistedDirectories, 0u);
}
