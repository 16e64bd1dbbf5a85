// What the reader accepts and builds, and what it refuses with the offset and reason: malformed
// exports in one table, read whole and a byte per read (every token then straddles reads),
// valid exports from several writers' habits in another, plus cancellation and extreme depth.
#include "ScanFileTestSupport.h"

#include "scan/NodePool.h"
#include "scan/ScanDirectory.h"

#include <functional>

using orvex::UniquePtr;
using namespace scanfiletest;

namespace {

// Type, name and size of every node, children in brackets: "/r=3[a=1,d=2[b=2]]".
std::string describe(const FilesystemNode* node)
{
    std::string text = std::string(node->name.view()) + "=" + std::to_string(node->size);
    if (node->type == FilesystemNode::Type::DIRECTORY) {
        text += "[";
        for (int64_t i = 0; i < node->children.count; ++i)
            text += (i ? "," : "") + describe(node->children[i]);
        text += "]";
    }
    return text;
}

const std::string header = "[1,2,{},";
const std::string rootOpen = header + "[{\"name\":\"/r\"},";

struct Malformed {
    const char* what;
    std::string text; // '^' marks the offset the error must name; it is removed before reading
    const char* reason;
};

TEST(ScanFileReaderTest, MalformedExportsFailWithOffsetAndReason)
{
    const Malformed rows[] = {
        { "empty file", "^", "the file is empty" },
        { "not an array", "^{\"a\":1}", "does not start with '['" },
        { "no version", "[^\"a\"]", "no major version" },
        { "major version 2", "[^2,0,{},[{\"name\":\"/r\"}]]", "unsupported major version 2" },
        { "fractional major version", "[^1.0,0,{},[{\"name\":\"/r\"}]]", "not a whole number" },
        { "metadata not an object", "[1,2,^3,[{\"name\":\"/r\"}]]", "expected the metadata object" },
        { "root not an array", header + "^5]", "expected the root directory's array" },
        { "truncated between entries", rootOpen + "{\"name\":\"a\",\"asize\":1}^", "truncated" },
        { "truncated in a name", rootOpen + "{\"name\":\"ab^", "truncated" },
        { "truncated in an escape", rootOpen + "{\"name\":\"ab\\u00^", "truncated" },
        { "truncated before the last bracket", header + "[{\"name\":\"/r\"}]^", "truncated" },
        { "missing comma", header + "[{\"name\":\"/r\"}^{\"name\":\"a\"}]]", "expected ',' or ']'" },
        { "comma before brace", rootOpen + "{\"name\":\"a\",^}]]", "expected a string" },
        { "entry is a number", rootOpen + "^7]]", "expected a file's object or a directory's array" },
        { "bare control byte", rootOpen + "{\"name\":\"a^\x01\"}]]", "control character byte 0x01" },
        { "unknown escape", rootOpen + "{\"name\":\"a^\\x\"}]]", "invalid escape \\x" },
        { "bad hex digit", rootOpen + "{\"name\":\"\\u12^g4\"}]]", "not a hexadecimal digit" },
        { "lone high surrogate", rootOpen + "{\"name\":\"^\\ud800x\"}]]", "high surrogate not followed" },
        { "high surrogate then letter escape", rootOpen + "{\"name\":\"^\\ud800\\n\"}]]", "high surrogate not followed" },
        { "reversed surrogates", rootOpen + "{\"name\":\"^\\udc00\\ud800\"}]]", "low surrogate \\udc00" },
        { "negative size", rootOpen + "{\"name\":\"a\",\"asize\":^-1}]]", "asize is negative" },
        { "fractional size", rootOpen + "{\"name\":\"a\",\"asize\":^1.5}]]", "asize is not a whole number" },
        { "exponent size", rootOpen + "{\"name\":\"a\",\"asize\":^1e3}]]", "asize is not a whole number" },
        { "size over 64 bits", rootOpen + "{\"name\":\"a\",\"asize\":^18446744073709551616}]]", "does not fit in 64 bits" },
        { "negative disk size", rootOpen + "{\"name\":\"a\",\"dsize\":^-4096}]]", "dsize is negative" },
        { "size as a string", rootOpen + "{\"name\":\"a\",\"asize\":^\"1\"}]]", "expected a number for asize" },
        { "notreg not a boolean", rootOpen + "{\"name\":\"a\",\"notreg\":^1}]]", "expected true or false" },
        { "broken literal", rootOpen + "{\"name\":\"a\",\"notreg\":^tru}]]", "expected true" },
        { "no name", rootOpen + "^{\"asize\":1}]]", "has no name" },
        { "empty name", rootOpen + "{\"name\":^\"\"}]]", "empty name" },
        { "empty root name", header + "[{\"name\":^\"\"}]]", "empty name" },
        { "slash in a name", rootOpen + "[{\"name\":^\"a/b\"}]]]", "contains '/'" },
        { "space before a bad name", rootOpen + "{\"name\": \t\n ^\"..\"}]]", "a name is '..'" },
        { "space before an empty root name", header + "[{\"name\" :  ^\"\"}]]", "empty name" },
        { "NUL in a name", rootOpen + "{\"name\":^\"a\\u0000\"}]]", "NUL byte" },
        { "dot", rootOpen + "[{\"name\":^\".\"}]]]", "a name is '.'" },
        { "dot dot", rootOpen + "{\"name\":^\"..\"}]]", "a name is '..'" },
        { "bad value in an unknown key", rootOpen + "{\"name\":\"a\",\"x\":{\"y\":[1,^}]}}]]", "expected a value" },
        { "bad number in an unknown key", rootOpen + "{\"name\":\"a\",\"mtime\":^-x}]]", "invalid number" },
        { "trailing garbage", header + "[{\"name\":\"/r\"}]]\n^x", "trailing data after the export's closing ']'" },
        { "one bracket too many", header + "[{\"name\":\"/r\"}]]^]", "trailing data" },
    };
    for (const Malformed& row : rows) {
        std::string text = row.text;
        size_t marker = text.find('^');
        ASSERT_NE(marker, std::string::npos) << row.what;
        text.erase(marker, 1);
        const std::string expected = "at byte " + std::to_string(marker) + ": ";
        for (size_t piece : { SIZE_MAX, size_t(1) }) {
            ScanFileReader reader;
            EXPECT_EQ(readText(text, reader, piece), nullptr) << row.what;
            EXPECT_EQ(reader.failure().rfind(expected, 0), 0u) << row.what << ": " << reader.failure();
            EXPECT_NE(reader.failure().find(row.reason), std::string::npos) << row.what << ": " << reader.failure();
            EXPECT_FALSE(reader.wasCancelled());
        }
    }
}

TEST(ScanFileReaderTest, FailureHandsOverWhatWasBuilt)
{
    ScanFileReader reader;
    EXPECT_EQ(readText(rootOpen + "{\"name\":\"a\",\"asize\":1},[{\"name\":\"d\"},{\"name\":\"b\",\"asize\":2},{\"name\":\"c", reader), nullptr);
    UniquePtr<FilesystemNode> partial = reader.takePartial();
    ASSERT_NE(partial, nullptr);
    EXPECT_EQ(describe(partial.get()), "/r=1[a=1,d=2[b=2]]") << "the open directory's total is not yet in its parent's";
    EXPECT_EQ(reader.takePartial(), nullptr);
}

struct Valid {
    const char* what;
    std::string text;
    std::string tree; // describe() of the result
};

TEST(ScanFileReaderTest, ValidExportsBuildTheirTrees)
{
    const Valid rows[] = {
        { "directory sizes are the sums of their files",
            rootOpen + "{\"name\":\"a\",\"asize\":1,\"dsize\":4096},[{\"name\":\"d\",\"asize\":4096},{\"name\":\"b\",\"asize\":2}]]]",
            "/r=3[a=1,d=2[b=2]]" },
        { "a file without asize is empty", rootOpen + "{\"name\":\"e\"}]]", "/r=0[e=0]" },
        { "escapes as other tools write them",
            rootOpen + "{\"name\":\"q\\u0001\\u007F\\\"\\\\\xff\\t\\b\\f\\n\\r\",\"asize\":1}]]",
            "/r=1[q\x01\x7f\"\\\xff\t\b\f\n\r=1]" },
        { "raw bytes are kept", rootOpen + "{\"name\":\"\xc3\x28\x7f\xfe\",\"asize\":1}]]", "/r=1[\xc3\x28\x7f\xfe=1]" },
        { "unicode escapes become UTF-8",
            rootOpen + "{\"name\":\"\\u00e9\\u20AC\\ud83d\\ude00\\ufffd\",\"asize\":1}]]",
            "/r=1[\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xef\xbf\xbd=1]" },
        { "unknown keys of every kind are skipped",
            rootOpen + "{\"x\":{\"y\":[1,{\"z\":null}],\"w\":\"]}\"},\"name\":\"a\",\"name_and_more\":\"zzz\",\"t\":[-1.5e+3,true,false,[]],\"o\":{},\"asize\":3}]]",
            "/r=3[a=3]" },
        { "left out: not regular, excluded, and everything below them",
            rootOpen + "{\"name\":\"l\",\"asize\":9,\"notreg\":true},{\"name\":\"k\",\"asize\":4,\"notreg\":false},"
                "[{\"name\":\"m\",\"excluded\":\"otherfs\"},{\"name\":\"x\",\"asize\":100},[{\"name\":\"y\"},{\"name\":\"z\",\"asize\":1}]],"
                "{\"name\":\"p\",\"excluded\":\"pattern\",\"asize\":5},{\"name\":\"q\",\"excluded\":false,\"asize\":6}]]",
            "/r=10[k=4,q=6]" },
        { "huge claimed sizes are only numbers",
            rootOpen + "{\"name\":\"a\",\"asize\":10000000000},{\"name\":\"b\",\"asize\":18446744073709551615}]]",
            "/r=18446744073709551615[a=10000000000,b=18446744073709551615]" },
        { "white space anywhere", "  [ 1 ,\n 2 , { } ,\r\n [ { \"name\" : \"/r\" } ,\t{ \"name\":\"a\" , \"asize\" : 5 } ] ]  \n",
            "/r=5[a=5]" },
        { "later top-level elements are skipped", header + "[{\"name\":\"/r\"}],{\"future\":[1]},7]", "/r=0[]" },
        { "a single file as the root", header + "{\"name\":\"/tmp/f\",\"asize\":7}]", "/tmp/f=7" },
    };
    for (const Valid& row : rows) {
        for (size_t piece : { SIZE_MAX, size_t(1) }) {
            ScanFileReader reader;
            UniquePtr<FilesystemNode> tree = readText(row.text, reader, piece);
            ASSERT_NE(tree, nullptr) << row.what << ": " << reader.failure();
            EXPECT_EQ(describe(tree.get()), row.tree) << row.what;
            EXPECT_EQ(reader.rootPath(), std::string(tree->name.view())) << row.what;
        }
    }
}

TEST(ScanFileReaderTest, ReportsMetadataReadErrorsAndSaturation)
{
    ScanFileReader reader;
    UniquePtr<FilesystemNode> tree = readText(
        "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1796718838,\"extra\":[{}]},\n"
        "[{\"name\":\"/home/u\"},[{\"name\":\"a\"},[{\"name\":\"locked\",\"read_error\":true}]],[{\"name\":\"b\",\"read_error\":true},"
        "{\"name\":\"big\",\"asize\":18446744073709551615},{\"name\":\"more\",\"asize\":1},{\"name\":\"hidden\",\"read_error\":true}]]]",
        reader);
    ASSERT_NE(tree, nullptr) << reader.failure();
    EXPECT_EQ(reader.metadata().programName, "ncdu");
    EXPECT_EQ(reader.metadata().programVersion, "1.18");
    EXPECT_TRUE(reader.metadata().hasTimestamp);
    EXPECT_EQ(reader.metadata().timestamp, 1796718838u);
    EXPECT_EQ(reader.problems().unlistedDirectories, 2u);
    EXPECT_EQ(reader.problems().firstUnlistedPath, "/home/u/a/locked");
    EXPECT_FALSE(reader.problems().rootUnlisted);
    EXPECT_TRUE(reader.problems().saturated);
    EXPECT_EQ(tree->size, saturatedSize);
    // A file whose size could not be read is kept (at 0 bytes) and counted apart.
    EXPECT_EQ(reader.problems().unreadableFiles, 1u);
    ASSERT_EQ(reader.problems().unlistedNodes.size(), 3u);
    EXPECT_EQ(nodePath(reader.problems().unlistedNodes[2]), "/home/u/b/hidden");
    EXPECT_EQ(describeProblems(reader.problems()).substr(0, 144),
        "2 directories could not be read completely and 1 file's size could not be read; their bytes are missing from "
        "the total (first: /home/u/a/locked)")
        << "an export tells no errno value, so none is named";

    ScanFileReader plain;
    ASSERT_NE(readText(header + "[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":18446744073709551615}]]", plain), nullptr);
    EXPECT_FALSE(plain.metadata().hasTimestamp);
    EXPECT_FALSE(plain.problems().saturated) << "reaching 2^64 - 1 exactly is no saturation";
}

// The root's own mark makes the whole scan's listing unreliable (tools refuse such a scan); a
// mark anywhere else, or on a root that is a single file, does not.
TEST(ScanFileReaderTest, OnlyARootDirectoryMarkedReadErrorIsUnlisted)
{
    const struct {
        const char* what;
        std::string text;
        bool rootUnlisted;
        uint64_t directories, files;
    } rows[] = {
        { "root directory marked", header + "[{\"name\":\"/r\",\"read_error\":true},{\"name\":\"a\",\"asize\":1}]]", true, 1, 0 },
        { "root marked false", header + "[{\"name\":\"/r\",\"read_error\":false},{\"name\":\"a\"}]]", false, 0, 0 },
        { "only a child directory marked", rootOpen + "[{\"name\":\"d\",\"read_error\":true}]]]", false, 1, 0 },
        { "a single file root marked", header + "{\"name\":\"/f\",\"read_error\":true}]", false, 0, 1 },
    };
    // As the scanner hangs each scan of a list under its summary when the root is entered.
    struct Adopter final : ScanListener {
        FilesystemNode summary;
        void scanStarted(const char*, size_t) override {}
        void directoryEntered(FilesystemNode* directory) override
        {
            if (!directory->parent)
                directory->parent = &summary;
        }
        void fileAdded(FilesystemNode*) override {}
        void directoryLeft(FilesystemNode*) override {}
    };
    for (const auto& row : rows) {
        for (bool adopted : { false, true }) {
            Adopter adopter;
            ScanFileReader reader(adopted ? &adopter : nullptr);
            ASSERT_NE(readText(row.text, reader), nullptr) << row.what << ": " << reader.failure();
            EXPECT_EQ(reader.problems().rootUnlisted, row.rootUnlisted) << row.what << (adopted ? ", adopted" : "");
            EXPECT_EQ(reader.problems().unlistedDirectories, row.directories) << row.what;
            EXPECT_EQ(reader.problems().unreadableFiles, row.files) << row.what;
        }
    }
}

TEST(ScanFileReaderTest, CancelStopsWithoutFailure)
{
    std::string text = rootOpen;
    for (int i = 0; i < 20000; ++i)
        text += "{\"name\":\"f" + std::to_string(i) + "\",\"asize\":1},";
    text += "{\"name\":\"last\"}]]";
    int polls = 0;
    ScanFileReader reader(nullptr, [&] { return ++polls == 2; });
    EXPECT_EQ(readText(text, reader), nullptr);
    EXPECT_TRUE(reader.wasCancelled());
    EXPECT_EQ(reader.failure(), "");
    EXPECT_EQ(polls, 2);
    UniquePtr<FilesystemNode> partial = reader.takePartial();
    ASSERT_NE(partial, nullptr) << "the nodes built before the cancel are handed over";
    EXPECT_EQ(partial->children.count, 8191);

    ScanFileReader uncancelled(nullptr, [] { return false; });
    UniquePtr<FilesystemNode> tree = readText(text, uncancelled);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->children.count, 20001);
}

// 100,000 nested directories read, write back identically and read again, without recursion.
TEST(ScanFileReaderTest, ExtremeNestingReadsAndWritesBack)
{
    constexpr int depth = 100000;
    std::string text = "[1,2,{\"progname\":\"velbrin\",\"progver\":\"0.2.0\",\"timestamp\":1700000000},\n[{\"name\":\"/r\"}";
    for (int i = 0; i < depth; ++i)
        text += ",\n[{\"name\":\"d\"}";
    text += ",\n{\"name\":\"f\",\"asize\":42}";
    text += std::string(depth + 1, ']') + "]\n";
    ScanFileReader reader;
    UniquePtr<FilesystemNode> tree = readText(text, reader);
    ASSERT_NE(tree, nullptr) << reader.failure();
    EXPECT_EQ(tree->size, 42u);

    std::string written;
    {
        std::FILE* scratch = std::tmpfile();
        ASSERT_NE(scratch, nullptr);
        UniquePtr<ByteSink> sink = sinkForPath("deep.json", scratch);
        ScanFileWriter writer("0.2.0", 1700000000);
        EXPECT_TRUE(writer.write(*tree, *sink)) << writer.error();
        std::rewind(scratch);
        char chunk[65536];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, scratch)) > 0;)
            written.append(chunk, got);
        std::fclose(scratch);
    }
    EXPECT_EQ(written, text) << "our own format must come back byte for byte";
}

} // namespace
