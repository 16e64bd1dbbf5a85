// Scan files in the Windows build: exports written plain and gzip-compressed into a folder whose
// name is outside ASCII and the ANSI code page read back to the same tree through the program's
// importer; a Zstandard file is taken for a scan file but refused with the reason, since this build
// has no Zstandard, and writing one is refused too.
#include "../ScanFileTestSupport.h"

#include "../../scan/ScanTreeFixture.h"
#include "scan/FileSizeMapper.h"
#include "scan/ScanDirectory.h"
#include "scanfile/ScanFileImporter.h"

#include <cstdio>
#include <fstream>

using orvex::UniquePtr;
using namespace scanfiletest;
using scantest::makeNode;

TEST(ScanFileWin32, ExportsUnderAWideNameReadBackAndZstandardIsRefused)
{
    scantest::TempTree folder;
    const std::string place = "\xe6\x97\xa5\xe6\x9c\xac \xc3\xa4rger"; // "日本 ärger"
    folder.dir(place);
    const std::string base = folder.path() + "\\" + place + "\\";

    // C:\data { a.txt (10), sub { b.bin (20) } }
    UniquePtr<FilesystemNode> root = makeNode(FilesystemNode::Type::DIRECTORY, "C:\\data", nullptr, 30);
    root->appendChild(makeNode(FilesystemNode::Type::FILE, "a.txt", root.get(), 10));
    root->appendChild(makeNode(FilesystemNode::Type::DIRECTORY, "sub", root.get(), 20));
    FilesystemNode* sub = root->children[1];
    sub->appendChild(makeNode(FilesystemNode::Type::FILE, "b.bin", sub, 20));

    for (const char* name : { "scan.json", "scan.json.gz" }) {
        const std::string path = base + name;
        writeScanFile(*root, path);
        EXPECT_TRUE(looksLikeScanFile(path)) << name;
        ScanFileImporter importer;
        ScanProblems problems;
        ImportedScan origin;
        UniquePtr<FilesystemNode> imported = scanDirectory(path, &problems, &importer, &origin);
        ASSERT_NE(imported, nullptr) << name << ": " << problems.importFailure;
        expectSameTree(root.get(), imported.get());
        EXPECT_EQ(origin.file, path);
        EXPECT_EQ(origin.timestamp, 1700000000u);
    }

    const std::string zst = base + "scan.json.zst";
    std::ofstream(scantest::fsPath(zst), std::ios::binary) << std::string("\x28\xb5\x2f\xfd\x00\x58\x11\x00", 8);
    EXPECT_TRUE(looksLikeScanFile(zst)) << "so that opening it says why it cannot be read";
    ScanFileImporter importer;
    ScanProblems problems;
    EXPECT_EQ(scanDirectory(zst, &problems, &importer), nullptr);
    EXPECT_NE(problems.importFailure.find(zst + ": it is Zstandard-compressed, which this build cannot read"),
              std::string::npos) << problems.importFailure;

    std::FILE* scratch = std::tmpfile();
    ASSERT_NE(scratch, nullptr);
    UniquePtr<ByteSink> sink = sinkForPath("x.zst", scratch);
    EXPECT_FALSE(sink->write("[", 1) && sink->finish());
    EXPECT_EQ(sink->error(), "Zstandard compression is not available in this build");
    std::fclose(scratch);
}
