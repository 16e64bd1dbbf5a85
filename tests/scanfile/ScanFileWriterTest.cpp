// The exact text the writer produces: the metadata, the shape of directories and files, and
// names escaped byte for byte as the other tools escape them, so their readers agree with ours.
#include "ScanFileTestSupport.h"

#include "../scan/ScanTreeFixture.h"

#include <cstdlib>

using orvex::UniquePtr;
using namespace scanfiletest;

namespace {

UniquePtr<FilesystemNode> node(FilesystemNode::Type type, std::string_view name, FilesystemNode* parent, uint64_t size = 0)
{
    return scantest::makeNode(type, name, parent, size);
}

// The whole text, or with `bodyOnly` what follows the metadata line.
std::string writeToText(const FilesystemNode& root, bool bodyOnly = false,
                        const std::vector<const FilesystemNode*>& unreadable = {})
{
    char* bytes = nullptr;
    size_t length = 0;
    std::FILE* memory = open_memstream(&bytes, &length);
    UniquePtr<ByteSink> sink = sinkForPath("out.json", memory);
    ScanFileWriter writer("1.2.3-\"beta\"", 1796718838);
    EXPECT_TRUE(writer.write(root, *sink, unreadable)) << writer.error();
    std::fclose(memory);
    std::string text(bytes, length);
    std::free(bytes);
    return bodyOnly ? text.substr(text.find('\n') + 1) : text;
}

TEST(ScanFileWriterTest, WritesNamesEscapedAsOtherToolsDo)
{
    const struct {
        std::string name;
        std::string written;
    } rows[] = {
        { "plain.txt", "\"plain.txt\"" },
        { "q\"b\\", "\"q\\\"b\\\\\"" },
        { "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\"" },
        { std::string("\x01\x1f\x7f\x1b", 4), "\"\\u0001\\u001f\\u007f\\u001b\"" },
        { "\xff\xfe\xc3\x28", "\"\xff\xfe\xc3\x28\"" }, // not UTF-8: copied as it is
        { "\xc3\xa9\xf0\x9f\x98\x80 /", "\"\xc3\xa9\xf0\x9f\x98\x80 /\"" },
    };
    for (const auto& row : rows) {
        UniquePtr<FilesystemNode> root = node(FilesystemNode::Type::DIRECTORY, "/r", nullptr);
        root->appendChild(node(FilesystemNode::Type::FILE, row.name, root.get(), 5));
        root->size = 5;
        const std::string expected = "[1,2,{\"progname\":\"velbrin\",\"progver\":\"1.2.3-\\\"beta\\\"\",\"timestamp\":1796718838},\n"
                                     "[{\"name\":\"/r\"},\n{\"name\":"
            + row.written + ",\"asize\":5}]]\n";
        EXPECT_EQ(writeToText(*root), expected) << row.written;
    }
}

TEST(ScanFileWriterTest, WritesDirectoriesAsArraysWithoutSizes)
{
    UniquePtr<FilesystemNode> root = node(FilesystemNode::Type::DIRECTORY, "/data", nullptr, 30);
    FilesystemNode* top = root.get();
    top->appendChild(node(FilesystemNode::Type::FILE, "a", top, 10));
    top->appendChild(node(FilesystemNode::Type::DIRECTORY, "empty", top));
    top->appendChild(node(FilesystemNode::Type::DIRECTORY, "d", top, 20));
    FilesystemNode* d = top->children[2];
    d->appendChild(node(FilesystemNode::Type::FILE, "b", d, 20));
    top->appendChild(node(FilesystemNode::Type::FILE, "z", top, 0));
    const std::string body = writeToText(*root, true);
    EXPECT_EQ(body,
        "[{\"name\":\"/data\"},\n{\"name\":\"a\",\"asize\":10},\n[{\"name\":\"empty\"}],\n[{\"name\":\"d\"},\n"
        "{\"name\":\"b\",\"asize\":20}],\n{\"name\":\"z\",\"asize\":0}]]\n");
    // Directories the scan could not read completely say so, for a reader to report.
    EXPECT_EQ(writeToText(*root, true, { top->children[1] }).substr(0, 82),
        "[{\"name\":\"/data\"},\n{\"name\":\"a\",\"asize\":10},\n[{\"name\":\"empty\",\"read_error\":true}],\n");
    // So do files whose size could not be read; they get no size, since theirs is unknown.
    const std::string marked = writeToText(*root, true, { top->children[3] });
    EXPECT_EQ(marked.substr(marked.size() - 34), "\n{\"name\":\"z\",\"read_error\":true}]]\n");

    UniquePtr<FilesystemNode> single = node(FilesystemNode::Type::FILE, "/data/file", nullptr, 18446744073709551615u);
    EXPECT_EQ(writeToText(*single, true), "{\"name\":\"/data/file\",\"asize\":18446744073709551615}]\n");
}

} // namespace
