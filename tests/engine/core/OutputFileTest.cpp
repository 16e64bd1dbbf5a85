// Tests for OutputFile: what is not a regular file is refused and left as it was, an existing file
// changes only on a successful commit, and no temporary file outlives a failure. The full-disk
// case mounts a tiny tmpfs and therefore runs as root only.
#include "engine/core/OutputFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using orvex::OutputFile;

namespace {

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// What a refused write must leave as it was: the path itself and whatever it finally names.
struct Identity {
    bool linkFound = false, finalFound = false;
    struct stat link {}, final {};
    bool operator==(const Identity& other) const
    {
        auto same = [](const struct stat& a, const struct stat& b) {
            return a.st_ino == b.st_ino && a.st_mode == b.st_mode && a.st_rdev == b.st_rdev && a.st_size == b.st_size &&
                   a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
        };
        return linkFound == other.linkFound && finalFound == other.finalFound &&
               (!linkFound || same(link, other.link)) && (!finalFound || same(final, other.final));
    }
};

Identity identify(const fs::path& path)
{
    Identity identity;
    identity.linkFound = lstat(path.c_str(), &identity.link) == 0;
    identity.finalFound = stat(path.c_str(), &identity.final) == 0;
    return identity;
}

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "output-file-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        if (!mountPoint.empty())
            umount2(mountPoint.c_str(), MNT_DETACH);
        fs::remove_all(folder);
    }

    fs::path folder;
    std::string mountPoint;
};

} // namespace

TEST_F(OutputFileTest, RefusesWhatIsNotARegularFileAndLeavesItAlone)
{
    struct Row {
        const char* name;
        std::function<fs::path(const fs::path&)> make;
        const char* reason;
    };
    const Row rows[] = {
        { "FIFO", [](const fs::path& f) { mkfifo((f / "pipe").c_str(), 0644); return f / "pipe"; },
          "it is not a regular file but a FIFO" },
        { "symbolic link to a device", [](const fs::path& f) { fs::create_symlink("/dev/null", f / "null"); return f / "null"; },
          "it is not a regular file but a character device" },
        { "directory", [](const fs::path& f) { fs::create_directory(f / "sub"); return f / "sub"; }, "it is a directory" },
        { "dangling symbolic link",
          [](const fs::path& f) { fs::create_symlink(f / "gone.png", f / "dangling"); return f / "dangling"; },
          "symbolic link to a missing file" },
        { "missing folder", [](const fs::path& f) { return f / "no-such-folder" / "out.png"; },
          "No such file or directory" },
        { "folder is a file", [](const fs::path& f) { writeText(f / "plain", "x"); return f / "plain" / "out.png"; },
          "Not a directory" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path target = row.make(folder);
        const Identity before = identify(target);
        const std::set<std::string> namesBefore = namesIn(folder);

        std::string error;
        EXPECT_FALSE(OutputFile::checkWritable(target, error));
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
        {
            OutputFile file;
            error.clear();
            EXPECT_FALSE(file.open(target, error));
            EXPECT_NE(error.find(row.reason), std::string::npos) << error;
            EXPECT_EQ(file.stream(), nullptr);
        }
        EXPECT_TRUE(identify(target) == before) << target << " changed";
        EXPECT_EQ(namesIn(folder), namesBefore);
    }
    struct stat device {};
    ASSERT_EQ(stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
}

TEST_F(OutputFileTest, ExistingFileChangesOnlyOnCommit)
{
    enum Ending { DESTROYED, DISCARDED, WRITE_FAILS, COMMITTED };
    struct Row {
        const char* name;
        Ending ending;
        const char* reason; // of a failed commit
    };
    const Row rows[] = {
        { "destroyed without commit", DESTROYED, "" },
        { "discarded", DISCARDED, "" },
        // A file size limit makes the writes fail for root as well.
        { "writes fail", WRITE_FAILS, "File too large" },
        { "committed", COMMITTED, "" },
    };
    const std::string oldText = "old content\n";
    const std::string newText(64 * 1024, 'n');
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path target = folder / "picture.png";
        writeText(target, oldText);
        ASSERT_EQ(chmod(target.c_str(), 0640), 0);

        bool committed = false;
        std::string error;
        {
            OutputFile file;
            ASSERT_TRUE(file.open(target, error)) << error;
            rlimit original {};
            if (row.ending == WRITE_FAILS) {
                std::signal(SIGXFSZ, SIG_IGN);
                getrlimit(RLIMIT_FSIZE, &original);
                rlimit small = original;
                small.rlim_cur = 4096;
                ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
            }
            std::fwrite(newText.data(), 1, newText.size(), file.stream());
            EXPECT_EQ(readText(target), oldText) << "the target changed before commit";
            if (row.ending == DISCARDED)
                file.discard();
            if (row.ending == WRITE_FAILS || row.ending == COMMITTED)
                committed = file.commit(error);
            if (row.ending == WRITE_FAILS) {
                setrlimit(RLIMIT_FSIZE, &original);
                std::signal(SIGXFSZ, SIG_DFL);
            }
        }
        EXPECT_EQ(committed, row.ending == COMMITTED) << error;
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
        // Not EXPECT_EQ: a failure would print 64 KiB.
        EXPECT_TRUE(readText(target) == (row.ending == COMMITTED ? newText : oldText)) << "wrong content";
        EXPECT_EQ(namesIn(folder), std::set<std::string> { "picture.png" }) << "a temporary file was left behind";
        struct stat info {};
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u) << "the replaced file's mode was not kept";
    }
}

TEST_F(OutputFileTest, CommitThroughALinkReplacesTheFileItNamesAndKeepsTheLink)
{
    const fs::path real = folder / "real.png", link = folder / "link.png", fresh = folder / "fresh.png";
    writeText(real, "old");
    fs::create_symlink("real.png", link);
    std::string error;
    for (const fs::path& target : { link, fresh }) {
        OutputFile file;
        ASSERT_TRUE(file.open(target, error)) << error;
        std::fputs("new", file.stream());
        ASSERT_TRUE(file.commit(error)) << error;
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readText(real), "new");
    EXPECT_EQ(namesIn(folder), (std::set<std::string> { "real.png", "link.png", "fresh.png" }));

    // A new file gets what open(2) would give it: 0666 less the umask.
    const mode_t mask = umask(022);
    umask(mask);
    struct stat info {};
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0666u & ~mask);
}

// In a shared sticky folder such as /tmp, a link that another user placed would let that user
// choose the file replaced (a system file, when run as root); one of our own there is followed,
// and so is a chain of links unless one of them is such a planted link.
TEST_F(OutputFileTest, LinkAnotherUserPlacedInASharedFolderIsRefused)
{
    const fs::path shared = folder / "shared", victim = folder / "victim.png";
    fs::create_directory(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    writeText(victim, "precious");
    fs::create_symlink(victim, shared / "planted.png");
    fs::create_symlink("planted.png", shared / "chain.png");
    fs::create_symlink(victim, shared / "own.png");
    if (lchown((shared / "planted.png").c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "giving a link to another user needs root: " << std::strerror(errno);

    for (const char* name : { "planted.png", "chain.png" }) {
        SCOPED_TRACE(name);
        const Identity before = identify(victim);
        std::string error;
        EXPECT_FALSE(OutputFile::checkWritable(shared / name, error));
        EXPECT_NE(error.find("another user placed in the shared folder"), std::string::npos) << error;
        OutputFile file;
        EXPECT_FALSE(file.open(shared / name, error));
        EXPECT_TRUE(identify(victim) == before);
    }
    EXPECT_EQ(namesIn(shared), (std::set<std::string> { "planted.png", "chain.png", "own.png" }));

    std::string error;
    OutputFile file;
    ASSERT_TRUE(file.open(shared / "own.png", error)) << error;
    std::fputs("new", file.stream());
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_EQ(readText(victim), "new");
    EXPECT_TRUE(fs::is_symlink(shared / "own.png"));
}

TEST_F(OutputFileTest, FullFileSystemKeepsTheOldFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const fs::path small = folder / "small";
    fs::create_directory(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    mountPoint = small.string();

    const fs::path target = small / "picture.png";
    const std::string oldText = "old picture";
    writeText(target, oldText);
    std::string error;
    {
        OutputFile file;
        ASSERT_TRUE(file.open(target, error)) << error;
        const std::string block(4096, 'x');
        for (int i = 0; i < 64; ++i) // 256 KiB into 64 KiB
            std::fwrite(block.data(), 1, block.size(), file.stream());
        EXPECT_NE(file.writeFailure().find("No space left on device"), std::string::npos) << file.writeFailure();
        EXPECT_FALSE(file.commit(error));
    }
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(readText(target), oldText);
    EXPECT_EQ(namesIn(small), std::set<std::string> { "picture.png" });

    ASSERT_EQ(umount2(mountPoint.c_str(), 0), 0) << std::strerror(errno);
    mountPoint.clear();
}
