// A real tree with hostile names, scanned, written and read back: plain, gzip and zstd give the
// scan's tree byte for byte and the listener hears the same calls in the same order. The same
// tree crosses over to and from the installed ncdu and gdu, when they are there.
#include "ScanFileTestSupport.h"

#include "../scan/ScanTreeFixture.h"
#include "../support/ShellCommand.h"

#include <fstream>
#include <set>

using orvex::UniquePtr;
using namespace scanfiletest;
using scantest::TempTree;

namespace {

// Every name an export must carry through: invalid UTF-8, each kind of escaped byte, quotes,
// backslashes, non-ASCII text, empty files and directories, a deep chain, and links that no
// tool counts. Returns the sum of the regular files' sizes.
uint64_t makeHostileTree(const TempTree& tree)
{
    const std::pair<std::string, uint64_t> files[] = {
        { "plain", 1000 },
        { "\xff\xfe invalid", 3 },
        { "half \xe2\x82", 4 },
        { "ctl \x01\x02\x1f\x7f end", 5 },
        { "esc \b\f\n\r\t", 6 },
        { "quote \" and \\ backslash \\\"", 7 },
        { "Gr\xc3\xbc\xc3\x9f" "e \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80", 8 },
        { "empty", 0 },
        { "sub/inner \"x\"", 500 },
        { "sub/\xc0\xaf", 9 },
        { "empty-dir-sibling", 0 },
    };
    tree.dir("sub");
    tree.dir("empty dir");
    tree.dir("\xff dir \\");
    uint64_t total = 0;
    for (const auto& [name, size] : files) {
        tree.file(name, size);
        total += size;
    }
    tree.file("\xff dir \\/\x01", 11);
    tree.hardlink("plain", "hard link");
    total += 11 + 1000;
    std::string chain;
    for (int level = 0; level < 40; ++level) {
        chain += (level ? "/" : "") + std::string("n\x01") + std::to_string(level);
        tree.dir(chain);
    }
    tree.file(chain + "/bottom", 77);
    total += 77;
    tree.symlink("plain", "link to file");
    tree.symlink("sub", "link to dir");
    return total;
}

struct Compression {
    const char* ending;
    const char* magic; // the file's first bytes
};

TEST(ScanFileRoundTripTest, HostileTreeComesBackAsScanned)
{
    TempTree tree;
    const uint64_t total = makeHostileTree(tree);
    CallRecorder scanCalls;
    UniquePtr<FilesystemNode> scanned = scantest::scanPath(tree.path(), &scanCalls);
    ASSERT_NE(scanned, nullptr);
    ASSERT_EQ(scanned->size, total);

    TempTree output;
    for (const Compression& compression : { Compression { ".json", "[1,2,{" }, Compression { ".json.gz", "\x1f\x8b" },
             Compression { ".zst", "\x28\xb5\x2f\xfd" } }) {
        SCOPED_TRACE(compression.ending);
        const std::string path = output.at(std::string("scan") + compression.ending);
        writeScanFile(*scanned, path);
        std::string start(8, '\0');
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        start.resize(std::fread(start.data(), 1, start.size(), file));
        std::fclose(file);
        EXPECT_EQ(start.rfind(compression.magic, 0), 0u);

        CallRecorder readCalls;
        scantest::WalkChecker contract;
        contract.scanStarted("", 0);
        ScanFileReader reader(&readCalls);
        UniquePtr<FilesystemNode> read = readScanFile(path, reader);
        ASSERT_NE(read, nullptr) << reader.failure();
        expectSameTree(scanned.get(), read.get());
        EXPECT_EQ(readCalls.calls, scanCalls.calls) << "the listener must hear what it hears during the scan";
        EXPECT_EQ(reader.rootPath(), tree.path());
        EXPECT_EQ(reader.metadata().programName, "velbrin");
        EXPECT_EQ(reader.metadata().programVersion, "0.2.0");
        EXPECT_EQ(reader.metadata().timestamp, 1700000000u);
        EXPECT_EQ(reader.problems().unlistedDirectories, 0u);

        ScanFileReader checked(&contract);
        UniquePtr<FilesystemNode> again = readScanFile(path, checked);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(contract.entered, 44); // the root, three directories and the chain of 40
        EXPECT_EQ(contract.left, 44);
        EXPECT_TRUE(contract.openDirectories.empty());
    }
}

// Tools not installed skip these; a tool that is installed must agree with us.
bool haveTool(const char* name) { return !testsupport::runCommand(std::string("command -v ") + name).empty(); }

std::string quoted(const std::string& path)
{
    std::string text = "'";
    for (char c : path)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

// Every node as "path type size", sorted: the other tools need not keep our order.
std::multiset<std::string> flatten(const FilesystemNode* root)
{
    std::multiset<std::string> lines;
    std::vector<std::pair<const FilesystemNode*, std::string>> pending { { root, "" } };
    while (!pending.empty()) {
        auto [node, path] = pending.back();
        pending.pop_back();
        lines.insert(path + (node->type == FilesystemNode::Type::DIRECTORY ? " dir " : " file ") + std::to_string(node->size));
        for (int64_t i = 0; i < node->children.count; ++i)
            pending.emplace_back(node->children[i], path + "/" + std::string(node->children[i]->name.view()));
    }
    return lines;
}

TEST(ScanFileRoundTripTest, OtherToolsExportsImportWithTheirTotals)
{
    TempTree tree;
    const uint64_t total = makeHostileTree(tree);
    // The sum `find` sees, to be sure the tree is what the tools see too.
    const std::string found = testsupport::runCommand("find " + quoted(tree.path()) + " -type f -printf '%s\\n' | awk '{s+=$1} END {print s}'");
    ASSERT_EQ(found, std::to_string(total));
    int tried = 0;
    for (const char* command : { "ncdu -o - ", "gdu -n -p -o - " }) {
        std::string tool(command, std::strchr(command, ' '));
        if (!haveTool(tool.c_str()))
            continue;
        tried += 1;
        const std::string path = tree.path() + ".from-" + tool + ".json";
        testsupport::runCommand(command + quoted(tree.path()) + " > " + quoted(path) + " 2>/dev/null");
        ScanFileReader reader;
        UniquePtr<FilesystemNode> read = readScanFile(path, reader);
        std::remove(path.c_str());
        ASSERT_NE(read, nullptr) << tool << ": " << reader.failure();
        EXPECT_EQ(read->size, total) << tool;
        EXPECT_EQ(reader.rootPath(), tree.path()) << tool;
        EXPECT_EQ(reader.metadata().programName, tool);
    }
    if (tried == 0)
        GTEST_SKIP() << "neither ncdu nor gdu is installed";
}

// The names of an export exactly as written, escapes and all: each `{"name":"..."` string.
std::multiset<std::string> writtenNames(const std::string& text)
{
    std::multiset<std::string> names;
    const std::string key = "{\"name\":\"";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
        at += key.size();
        size_t end = at;
        while (end < text.size() && text[end] != '"')
            end += text[end] == '\\' ? 2 : 1;
        names.insert(text.substr(at, end - at));
    }
    return names;
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ScanFileRoundTripTest, OtherToolsReadOurExports)
{
    const bool haveNcdu = haveTool("ncdu"), haveGdu = haveTool("gdu");
    if (!haveNcdu && !haveGdu)
        GTEST_SKIP() << "neither ncdu nor gdu is installed";
    TempTree tree;
    const uint64_t total = makeHostileTree(tree);
    UniquePtr<FilesystemNode> scanned = scantest::scanPath(tree.path());
    ASSERT_NE(scanned, nullptr);
    TempTree output;
    const std::string path = output.at("ours.json");
    writeScanFile(*scanned, path);

    if (haveNcdu) {
        // ncdu reads our file and writes it out again: the same names as bytes and the same sizes.
        const std::string again = output.at("again.json");
        testsupport::runCommand("ncdu -f " + quoted(path) + " -o " + quoted(again) + " 2>/dev/null");
        ScanFileReader reader;
        UniquePtr<FilesystemNode> reexported = readScanFile(again, reader);
        ASSERT_NE(reexported, nullptr) << reader.failure();
        EXPECT_EQ(flatten(reexported.get()), flatten(scanned.get()));

        // ncdu's own export of the tree escapes every name exactly as we do; it also lists the
        // two links, which we leave out.
        const std::string own = output.at("own.json");
        testsupport::runCommand("ncdu -o " + quoted(own) + " " + quoted(tree.path()) + " 2>/dev/null");
        std::multiset<std::string> expected = writtenNames(fileText(own));
        EXPECT_EQ(expected.erase("link to file") + expected.erase("link to dir"), 2u);
        EXPECT_EQ(writtenNames(fileText(path)), expected);
    }
    if (haveGdu) {
        // -s: the total only; -a: apparent sizes; --no-prefix: in bytes. gdu counts every
        // directory itself as 4096 bytes, whatever the file says, so that much is on top of ours.
        const std::string summary = testsupport::runCommand("gdu -f " + quoted(path) + " -n -p -s -a --no-prefix 2>/dev/null");
        const uint64_t directories = 44;
        EXPECT_EQ(std::strtoull(summary.c_str(), nullptr, 10), total + 4096 * directories) << summary;
    }
}

} // namespace
