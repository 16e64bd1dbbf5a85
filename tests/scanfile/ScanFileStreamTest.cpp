// The streamed export (a FileSizeMapper with a ScanFileStream as its sink) against the export of
// the whole tree (ScanFileWriter after the scan): the same bytes and the same problem counts on a
// tree made to trip either up, and a sink that refuses a call stops the walk there.
#include "scan/FileSizeMapper.h"
#include "scan/ScanSink.h"
#include "scanfile/ByteSink.h"
#include "scanfile/ScanFileStream.h"
#include "scanfile/ScanFileWriter.h"
#include "tests/scan/ScanTreeFixture.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <linux/magic.h>
#include <sys/vfs.h>

using namespace scantest;

namespace {

class MemorySink final : public ByteSink {
public:
    bool write(const char* data, size_t count) override
    {
        bytes.append(data, count);
        return true;
    }
    bool finish() override { return true; }
    std::string bytes;
};

struct Export {
    std::string bytes;
    ScanProblems problems;
    uint64_t total = 0;
};

Export wholeTreeExport(const std::string& path)
{
    FileSizeMapper mapper;
    mapper.mapDirectory(path);
    Export made;
    if (!finishes(mapper))
        return made;
    made.problems = mapper.problems();
    orvex::UniquePtr<FilesystemNode> tree = mapper.takeResult();
    MemorySink sink;
    if (tree && ScanFileWriter("1.0", 1700000000).write(*tree, sink, made.problems.unlistedNodes))
        made.bytes = sink.bytes;
    made.total = tree ? tree->size : 0;
    return made;
}

Export streamedExport(const std::string& path)
{
    MemorySink sink;
    ScanFileStream stream("1.0", 1700000000, sink);
    FileSizeMapper mapper;
    mapper.setSink(&stream);
    mapper.mapDirectory(path);
    Export made;
    if (!finishes(mapper))
        return made;
    made.problems = mapper.problems();
    orvex::UniquePtr<FilesystemNode> root = mapper.takeResult();
    if (root && stream.finish())
        made.bytes = sink.bytes;
    made.total = root ? root->size : 0;
    return made;
}

// Empty when both scans agree; else the first difference.
std::string compareExports(const std::string& path)
{
    const Export whole = wholeTreeExport(path), streamed = streamedExport(path);
    if (whole.bytes.empty())
        return "the whole-tree export failed";
    if (whole.bytes != streamed.bytes) {
        size_t at = 0;
        while (at < whole.bytes.size() && at < streamed.bytes.size() && whole.bytes[at] == streamed.bytes[at])
            ++at;
        return "the exports differ from byte " + std::to_string(at) + ": whole tree \"" + whole.bytes.substr(at, 80)
            + "\", streamed \"" + streamed.bytes.substr(at, 80) + "\"";
    }
    const ScanProblems &a = whole.problems, &b = streamed.problems;
    if (a.unlistedDirectories != b.unlistedDirectories || a.unreadableFiles != b.unreadableFiles
        || a.firstUnlistedPath != b.firstUnlistedPath || a.firstError != b.firstError || a.saturated != b.saturated
        || a.rootUnlisted != b.rootUnlisted || whole.total != streamed.total)
        return "the problems or totals differ: " + std::to_string(a.unlistedDirectories) + "/"
            + std::to_string(b.unlistedDirectories) + " directories, " + std::to_string(a.unreadableFiles) + "/"
            + std::to_string(b.unreadableFiles) + " files, first " + a.firstUnlistedPath + " / " + b.firstUnlistedPath
            + ", total " + std::to_string(whole.total) + "/" + std::to_string(streamed.total);
    if (a.unlistedDirectories != 2 || a.unreadableFiles != 1)
        return "the denied directories were read after all: the test proves nothing about read_error";
    return "";
}

// Odd bytes in names, empty directories, links of every kind, a deep chain, a directory that
// cannot be listed and one whose files' sizes cannot be read, and totals past 2^64 - 1.
void makeHostileTree(const TempTree& tree)
{
    tree.file("plain", 10);
    for (const char* name : { "quote\" and back\\slash", "new\nline", "tab\tcr\r", "ctl\x01\x1f\x7f", "not utf-8 \xff\xfe",
                              "\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb5" })
        tree.file(name, 7);
    tree.dir("empty");
    tree.dir("empty/nested \"empty\"");
    tree.dir("links");
    tree.hardlink("plain", "links/hard");
    tree.symlink("../plain", "links/to file");
    tree.symlink("../empty", "links/to dir");
    tree.symlink("nowhere", "links/dangling");
    tree.dir("locked");
    tree.file("locked/hidden", 99);
    tree.dir("names-only");
    tree.file("names-only/file", 50);
    tree.dir("names-only/sub");
    std::string chain = "deep";
    tree.dir(chain);
    for (int level = 1; level < 1500; ++level) { // a path well past 4 KiB would need *at calls to remove
        chain += "/c";
        tree.dir(chain);
        if (level % 100 == 0)
            tree.hardlink("plain", chain + "/f\\" + std::to_string(level));
    }
    tree.dir("after");
    tree.file("after/last", 3);
    try { // sparse files that large need tmpfs or the like
        tree.dir("huge");
        for (const char* name : { "huge/a", "huge/b", "huge/c" })
            tree.file(name, (uint64_t(1) << 63) - 1);
    } catch (const std::exception&) {
    }
    check(chmod(tree.at("locked").c_str(), 0) == 0, "chmod locked");
    check(chmod(tree.at("names-only").c_str(), 0444) == 0, "chmod names-only");
}

} // namespace

TEST(ScanFileStream, StreamedExportIsTheWholeTreeExportByteForByte)
{
    // On tmpfs, where files of 2^63 - 1 bytes can be made, when there is one.
    struct statfs shm {};
    const char* const oldTemp = std::getenv("TMPDIR");
    const std::string keptTemp = oldTemp ? oldTemp : "";
    if (statfs("/dev/shm", &shm) == 0 && shm.f_type == TMPFS_MAGIC)
        setenv("TMPDIR", "/dev/shm", 1);
    TempTree tree;
    if (oldTemp)
        setenv("TMPDIR", keptTemp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    makeHostileTree(tree);
    const std::string verdict = runInChild([&]() -> std::string {
        // Root reads any directory; only an unprivileged user sees the denials.
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            return std::string("SKIP: cannot drop root privileges to uid 65534: ") + std::strerror(errno);
        return compareExports(tree.path());
    });
    chmod(tree.at("locked").c_str(), 0755);
    chmod(tree.at("names-only").c_str(), 0755);
    if (verdict.rfind("SKIP:", 0) == 0)
        GTEST_SKIP() << verdict.substr(6);
    EXPECT_EQ(verdict, "");
}

// Records the calls; refuses the `refuseAt`-th and counts any that still come after it.
class RefusingSink final : public ScanSink {
public:
    explicit RefusingSink(int refuseAt) : refuseAt(refuseAt) {}
    bool directoryEntered(std::string_view, bool) override { return call(); }
    bool fileFound(std::string_view, uint64_t, bool) override { return call(); }
    bool directoryLeft(uint64_t) override { return call(); }
    int calls = 0;
    int callsAfterRefusal = 0;

private:
    bool call()
    {
        callsAfterRefusal += calls >= refuseAt;
        return ++calls != refuseAt;
    }
    int refuseAt;
};

TEST(ScanFileStream, RefusedCallStopsTheWalkThereAndTheScanFinishes)
{
    TempTree tree;
    makeRandomTree(tree, 7, 40, 300);
    RefusingSink counting(INT32_MAX);
    {
        FileSizeMapper mapper;
        mapper.setSink(&counting);
        mapper.mapDirectory(tree.path());
        ASSERT_TRUE(finishes(mapper));
    }
    ASSERT_EQ(counting.calls, 2 + 40 * 2 + 300) << "the root's enter and leave, each directory's, each file";
    for (int refuseAt : { 1, 2, counting.calls / 2, counting.calls }) {
        RefusingSink refusing(refuseAt);
        FileSizeMapper mapper;
        mapper.setSink(&refusing);
        mapper.mapDirectory(tree.path());
        ASSERT_TRUE(finishes(mapper)) << "refused at call " << refuseAt;
        EXPECT_NE(mapper.takeResult(), nullptr) << "a stopped scan still finishes with its root";
        EXPECT_EQ(refusing.calls, refuseAt);
        EXPECT_EQ(refusing.callsAfterRefusal, 0);
    }
}
