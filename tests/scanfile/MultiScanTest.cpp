// Several paths in one scan: the summary root adds up its scans, each scan is what a scan of its
// path alone gives, paths below the summary are real paths, standard input may be a pipe of a
// compressed export, a broken or damaged stored scan fails the list naming itself and its offset,
// and a cancel stops it.
#include "ScanFileTestSupport.h"

#include "../scan/ScanTreeFixture.h"
#include "scan/ScanDirectory.h"
#include "engine/core/StandardStreams.h"
#include "scanfile/ScanFileImporter.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

using namespace scanfiletest;
using orvex::UniquePtr;
using scantest::TempTree;

namespace {

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// Two folders, a stored scan of a third and a loose file: sizes that make every sum distinct.
struct ThreeSources {
    TempTree tree;
    std::string first, second, stored, storedFrom, loose;

    ThreeSources()
    {
        for (const char* name : { "one", "one/sub", "two", "three" })
            tree.dir(name);
        tree.file("one/a", 100);
        tree.file("one/sub/b", 2000);
        tree.file("two/c", 30000);
        tree.file("three/d", 400000);
        tree.file("loose", 5000000);
        loose = tree.at("loose");
        first = tree.at("one");
        second = tree.at("two");
        storedFrom = tree.at("three");
        stored = tree.at("three.json.gz");
        UniquePtr<FilesystemNode> scanned = scanDirectory(storedFrom);
        writeScanFile(*scanned, stored);
    }
};

// Standard input replaced by a pipe that a thread fills with `bytes`, for the life of the object.
class PipedStandardInput {
public:
    explicit PipedStandardInput(std::string bytes)
    {
        int ends[2];
        scantest::check(::pipe(ends) == 0, "pipe");
        saved = ::dup(STDIN_FILENO);
        ::dup2(ends[0], STDIN_FILENO);
        ::close(ends[0]);
        writer = std::thread([end = ends[1], bytes = std::move(bytes)] {
            for (size_t done = 0; done < bytes.size();) {
                const ssize_t wrote = ::write(end, bytes.data() + done, bytes.size() - done);
                if (wrote <= 0)
                    break;
                done += size_t(wrote);
            }
            ::close(end);
        });
    }
    ~PipedStandardInput()
    {
        writer.join();
        ::dup2(saved, STDIN_FILENO);
        ::close(saved);
    }

private:
    int saved = -1;
    std::thread writer;
};

} // namespace

TEST(MultiScanTest, SummaryAddsUpScansThatEachMatchTheirSingleScan)
{
    ThreeSources sources;
    ScanFileImporter importer;
    ScanProblems problems;
    ImportedScan imported;
    UniquePtr<FilesystemNode> tree =
        scanPaths({ sources.first, sources.second, sources.stored, sources.loose }, &problems, &importer, &imported);
    ASSERT_NE(tree, nullptr) << problems.importFailure;
    EXPECT_TRUE(tree->scanSummary);
    EXPECT_EQ(tree->name.view(), "4 scans");
    ASSERT_EQ(tree->children.count, 4);
    EXPECT_EQ(tree->size, 5432100u);
    EXPECT_EQ(tree->children[3]->type, FilesystemNode::Type::FILE);
    EXPECT_EQ(nodePath(tree->children[3]), sources.loose);

    for (int i = 0; i < 2; ++i) {
        const std::string path = i == 0 ? sources.first : sources.second;
        UniquePtr<FilesystemNode> alone = scanDirectory(path);
        SCOPED_TRACE(path);
        expectSameTree(alone.get(), tree->children[i]);
        EXPECT_EQ(tree->children[i]->parent, tree.get());
    }
    // The stored scan's root is named by its path, as a scan made here is, so that the paths
    // under it are real ones; what a single one's caption adds (its time) comes with it apart.
    const FilesystemNode* stored = tree->children[2];
    ImportedScan origin;
    origin.hasTimestamp = true;
    origin.timestamp = 1700000000;
    EXPECT_EQ(stored->name.view(), sources.storedFrom);
    EXPECT_EQ(stored->size, 400000u);
    ASSERT_EQ(imported.storedRoots.size(), 1u);
    EXPECT_EQ(imported.storedRoots[0], stored);
    ASSERT_EQ(imported.storedNotes.size(), 1u);
    EXPECT_EQ(sources.storedFrom + imported.storedNotes[0], storedScanCaption(sources.storedFrom, origin));
    ASSERT_GT(stored->children.count, 0);
    EXPECT_EQ(nodePath(stored->children[0]), sources.storedFrom + "/" + std::string(stored->children[0]->name.view()));

    // Paths start at each scan's root, never at the summary.
    EXPECT_EQ(nodePath(tree->children[0]), sources.first);
    EXPECT_EQ(nodePath(scantest::findChild(scantest::findChild(tree->children[0], "sub"), "b")),
              sources.first + "/sub/b");
    EXPECT_EQ(nodePath(tree.get()), "4 scans");

    // One path is mapped exactly as before: no summary.
    UniquePtr<FilesystemNode> single = scanPaths({ sources.first });
    ASSERT_NE(single, nullptr);
    EXPECT_FALSE(single->scanSummary);
    EXPECT_EQ(single->name.view(), sources.first);
}

TEST(MultiScanTest, StandardInputReadsACompressedExportFromAPipe)
{
    ThreeSources sources;
    ScanFileImporter importer;
    ScanProblems problems;
    UniquePtr<FilesystemNode> tree;
    {
        PipedStandardInput input(fileBytes(sources.stored)); // gzip bytes: told by their magic number
        tree = scanPaths({ sources.first, "-" }, &problems, &importer);
    }
    ASSERT_NE(tree, nullptr) << problems.importFailure;
    ASSERT_EQ(tree->children.count, 2);
    EXPECT_EQ(tree->children[1]->size, 400000u);
    EXPECT_EQ(tree->size, 402100u);

    // Alone, "-" is a plain import of what the pipe holds.
    ImportedScan origin;
    {
        PipedStandardInput input(fileBytes(sources.stored));
        tree = scanPaths({ "-" }, &problems, &importer, &origin);
    }
    ASSERT_NE(tree, nullptr) << problems.importFailure;
    EXPECT_EQ(tree->name.view(), sources.storedFrom);
    EXPECT_EQ(origin.file, "-");
}

TEST(MultiScanTest, BrokenSecondStoredScanFailsTheListNamingItsFileAndByte)
{
    ThreeSources sources;
    const std::string header = "[1,2,{},[{\"name\":\"/r\"},";
    const std::string broken = sources.tree.at("broken.json");
    std::ofstream(broken, std::ios::binary) << header << "{\"name\":\"a\",\"asize\":-1}]]";
    const size_t offset = header.size() + std::string("{\"name\":\"a\",\"asize\":").size();

    ScanFileImporter importer;
    for (const std::vector<std::string>& paths :
         { std::vector<std::string> { sources.stored, broken }, std::vector<std::string> { sources.first, broken } }) {
        ScanProblems problems;
        EXPECT_EQ(scanPaths(paths, &problems, &importer), nullptr);
        EXPECT_EQ(problems.importFailure.rfind(broken + ": at byte " + std::to_string(offset) + ": ", 0), 0u)
            << problems.importFailure;
    }
    // From standard input the message names it so.
    ScanProblems problems;
    {
        PipedStandardInput input("[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":-1}]]");
        EXPECT_EQ(scanPaths({ sources.first, "-" }, &problems, &importer), nullptr);
    }
    EXPECT_EQ(problems.importFailure.rfind("standard input: at byte " + std::to_string(offset) + ": ", 0), 0u)
        << problems.importFailure;
}

namespace {

// An export large enough that half of it still decompresses to something: one folder of 3000 files.
std::string wideExport(const TempTree& folder, const char* name)
{
    UniquePtr<FilesystemNode> root = scantest::makeNode(FilesystemNode::Type::DIRECTORY, "/srv/export", nullptr);
    for (int i = 0; i < 3000; ++i) {
        const uint64_t size = uint64_t(i) * 7919 % 100003;
        root->appendChild(scantest::makeNode(FilesystemNode::Type::FILE, "file-" + std::to_string(size * 31), root.get(), size));
        root->size += size;
    }
    writeScanFile(*root, folder.at(name));
    return fileBytes(folder.at(name));
}

// What openScanFile yields from `bytes` before it stops, and why it stopped.
std::string decoded(const TempTree& folder, const std::string& bytes, std::string& error)
{
    const std::string path = folder.at("decode-me");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    orvex::UniquePtr<ByteSource> source = openScanFile(path, error);
    std::string out;
    char buffer[65536];
    while (source && error.empty()) {
        const size_t got = source->read(buffer, sizeof buffer);
        out.append(buffer, got);
        error = source->error();
        if (got == 0)
            break;
    }
    return out;
}

void compressText(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    orvex::UniquePtr<ByteSink> sink = sinkForPath(path, file);
    EXPECT_TRUE(sink->write(bytes.data(), bytes.size()) && sink->finish()) << sink->error();
    std::fclose(file);
}

std::string flipped(std::string bytes, size_t at)
{
    bytes.at(at) = char(~bytes[at]);
    return bytes;
}

} // namespace

// A damaged export in a list is read as the scan file it is, never drawn as a plain file: the
// list fails naming the file, the offset in the decompressed data where it went bad and why, as
// the same bytes fail through standard input.
TEST(MultiScanTest, DamagedScanFilesFailTheListAtTheirOffset)
{
    ThreeSources sources;
    const TempTree& folder = sources.tree;
    const std::string text = wideExport(folder, "wide.json"), gz = wideExport(folder, "wide.json.gz"),
                      zst = wideExport(folder, "wide.json.zst");
    const std::string cut = "the data ends early (the file is truncated)";
    const struct {
        const char* name; // no export ending unless the row is about the name
        std::string bytes;
        uint64_t offset;    // where the read must fail; ~0: where the decompressor stops
        std::string reason; // empty: the decompressor's own
    } rows[] = {
        { "half.gz", gz.substr(0, gz.size() / 2), ~uint64_t(0), "" },
        { "half.zst", zst.substr(0, zst.size() / 2), ~uint64_t(0), "" },
        { "flipped.gz", flipped(gz, 40), ~uint64_t(0), "" },
        { "flipped.zst", flipped(zst, 40), ~uint64_t(0), "" },
        { "start.gz", gz.substr(0, 100), ~uint64_t(0), "" },
        { "checksum.gz", flipped(gz, gz.size() - 8), text.size(), "the gzip data is corrupt: incorrect data check" },
        { "checksum.zst", flipped(zst, zst.size() - 2), text.size(), "the zstd data is corrupt: Restored data doesn't match checksum" },
        { "cut.json", text.substr(0, 5000), 5000, cut },
        { "named.json", "not an export", 0, "not a scan export: it does not start with '['" },
        { "NAMED.JSON.GZ", "not an export", 0, "not a scan export: it does not start with '['" },
    };
    ScanFileImporter importer;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        uint64_t offset = row.offset;
        std::string reason = row.reason;
        if (offset == ~uint64_t(0)) {
            const std::string out = decoded(folder, row.bytes, reason);
            ASSERT_FALSE(reason.empty()) << "the damage must show in the decompressor";
            ASSERT_EQ(text.compare(0, out.size(), out), 0) << "what comes out before the damage is the export's start";
            offset = out.size();
        }
        const std::string path = folder.at(row.name);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.bytes;
        const std::string failure = ": at byte " + std::to_string(offset) + ": " + reason;

        ScanProblems problems;
        EXPECT_EQ(scanPaths({ sources.first, path, sources.second }, &problems, &importer), nullptr);
        EXPECT_EQ(problems.importFailure, path + failure);
        {
            PipedStandardInput input(row.bytes);
            EXPECT_EQ(scanPaths({ sources.first, "-" }, &problems, &importer), nullptr);
        }
        EXPECT_EQ(problems.importFailure, "standard input" + failure);
    }
    // A sound compressed file that holds something else is refused too: its magic number makes it
    // a scan file, since a damaged export cannot be told from it by its content.
    const std::string packed = folder.at("notes.txt.gz");
    compressText(packed, "hello");
    ScanProblems problems;
    EXPECT_EQ(scanPaths({ sources.first, packed }, &problems, &importer), nullptr);
    EXPECT_EQ(problems.importFailure, packed + ": at byte 0: not a scan export: it does not start with '['");
}

TEST(MultiScanTest, ListenerSeesOneWalkAndACancelStopsTheWholeList)
{
    ThreeSources sources;
    {
        FileSizeMapper mapper;
        scantest::WalkChecker checker;
        mapper.setListener(&checker);
        mapper.mapPaths({ sources.first, sources.second });
        UniquePtr<FilesystemNode> tree = scantest::finish(mapper);
        ASSERT_NE(tree, nullptr);
        EXPECT_EQ(checker.rootNames, std::vector<std::string> { "2 scans" });
        EXPECT_EQ(checker.entered, 4); // the summary, one, one/sub, two
        EXPECT_EQ(checker.left, 4);
        EXPECT_EQ(tree->size, 32100u);
    }
    // Held in the second folder's file: the first scan is done, and is dropped with the rest.
    FileSizeMapper mapper;
    scantest::WalkChecker checker;
    checker.holdScanner = &mapper;
    checker.holdAtFile = 3;
    mapper.setListener(&checker);
    mapper.mapPaths({ sources.first, sources.second });
    ASSERT_TRUE(scantest::waitFor([&] { return checker.holding.load(); }));
    mapper.cancel();
    EXPECT_EQ(mapper.currentState(), IDLE);
    EXPECT_EQ(mapper.takeResult(), nullptr);
}

// Started with standard input closed, "-" is refused with that reason instead of reading what took
// descriptor 0 (the program's first call reopens it on /dev/null, which would read as empty).
TEST(MultiScanTest, ClosedStandardInputIsNamedNotRead)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(STDIN_FILENO);
        orvex::openStandardStreams();
        ScanFileImporter importer;
        ScanProblems problems;
        const bool refused = scanPaths({ "-" }, &problems, &importer) == nullptr;
        _exit(refused && problems.importFailure ==
                             "standard input: it was closed when the program started, so there is nothing to read"
                  ? 0
                  : 1);
    }
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "\"-\" read a closed standard input, or named it otherwise";
}
