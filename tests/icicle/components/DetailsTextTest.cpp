// The details line on a small tree whose numbers are easy to check by hand: what it says about
// files, folders and the root, names that are not plain text, elision to a width (measured here in
// code points), and what a scan that could not read everything adds.
#include "icicle/components/DetailsText.h"
#include "icicle/SmallItemBlocks.h"
#include "gui/TextObject.h"
#include "tests/icicle/TreeBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using testtree::dir;
using testtree::file;

namespace {

std::string utf8(const std::u32string& text) { return orvex::gui::toUtf8(text); }

// 10,000 bytes: big.bin 6,000, docs 3,999 (a.txt 2,000, a 1,000-byte name that is not UTF-8, a
// 999-byte name with a newline, an empty file), tiny 1.
class DetailsTextTest : public ::testing::Test {
protected:
    DetailsTextTest()
        : tree(testtree::build(dir("/data", { file("big.bin", 6000),
                                              dir("docs", { file("a.txt", 2000), file("bad\xFFname", 1000),
                                                            file("line\nbreak", 999), file("empty.txt", 0) }),
                                              file("tiny", 1) })))
    {
    }
    FilesystemNode* at(const std::string& name) { return testtree::child(tree.get(), name); }
    FilesystemNode* inDocs(const std::string& name) { return testtree::child(at("docs"), name); }

    orvex::UniquePtr<FilesystemNode> tree;
};

TEST_F(DetailsTextTest, DescribesFilesFoldersAndTheRoot)
{
    const DetailsText details(tree.get(), {});
    struct Row {
        const char* name;
        const FilesystemNode* node;
        const char* expected;
    };
    const Row rows[] = {
        { "a file", at("big.bin"), "/data/big.bin — 5.859 kB (6,000 bytes) — 60.0 % of parent, 60.0 % of total" },
        { "a folder", at("docs"), "/data/docs — 3.905 kB (3,999 bytes) — 40.0 % of parent, 40.0 % of total — 4 files, 0 folders" },
        { "the root", tree.get(), "/data — 9.766 kB (10,000 bytes) — 6 files, 1 folder" },
        { "an empty file", inDocs("empty.txt"), "/data/docs/empty.txt — 0 B (0 bytes) — 0.0 % of parent, 0.0 % of total" },
        { "a tiny share", at("tiny"), "/data/tiny — 1 B (1 byte) — < 0.1 % of parent, < 0.1 % of total" },
        { "bytes that are not UTF-8", inDocs("bad\xFFname"),
          "/data/docs/bad\uFFFDname — 1000 B (1,000 bytes) — 25.0 % of parent, 10.0 % of total" },
        { "a newline", inDocs("line\nbreak"), "/data/docs/line\\nbreak — 999 B (999 bytes) — 25.0 % of parent, 10.0 % of total" },
        { "no node", nullptr, "" },
    };
    for (const Row& row : rows)
        EXPECT_EQ(utf8(details.describe(row.node, false)), row.expected) << row.name;
}

// A block of children too small to draw names its folder and what it stands for; its path gives
// way to a narrow bar as a node's does.
TEST_F(DetailsTextTest, DescribesABlockOfSmallerItems)
{
    const DetailsText details(tree.get(), {});
    SmallItemBlock block;
    block.folder = at("docs");
    block.items = 300000;
    block.bytes = 15000000000;
    const auto points = [](std::u32string_view text) { return double(text.size()); };
    EXPECT_EQ(utf8(details.describeBlock(block, 1000, points)),
              "/data/docs — 300,000 smaller items, 13.97 GB (15,000,000,000 bytes)");
    block.marked = true;
    EXPECT_EQ(utf8(details.describeBlock(block, 200, points)),
              "/data/docs — 300,000 smaller items, 13.97 GB (15,000,000,000 bytes) — some could not be read");
    EXPECT_EQ(utf8(details.describeBlock(block, 90, points)),
              "/data/docs — 300,000 smaller items, 13.97 GB — some could not be read")
        << "the exact bytes give way first";
    EXPECT_EQ(utf8(details.describeBlock(block, 67, points)),
              "/d…/docs — 300,000 smaller items, 13.97 GB — some could not be read")
        << "then the middle of the path";
}

// A narrower bar gives up the exact bytes, the shares, the counts, then the middle of the path;
// the folder's own name goes last, then the end of the line.
TEST_F(DetailsTextTest, GivesUpDetailsThenThePathsMiddleThenTheName)
{
    const DetailsText details(tree.get(), {});
    const auto codePoints = [](std::u32string_view text) { return double(text.size()); };
    struct Row {
        const char* name;
        std::u32string expected; // the width is its length
    };
    const Row rows[] = {
        { "whole", U"/data/docs — 3.905 kB (3,999 bytes) — 40.0 % of parent, 40.0 % of total — 4 files, 0 folders" },
        { "no exact bytes", U"/data/docs — 3.905 kB — 40.0 % of parent, 40.0 % of total — 4 files, 0 folders" },
        { "no shares", U"/data/docs — 3.905 kB — 4 files, 0 folders" },
        { "no counts", U"/data/docs — 3.905 kB" },
        { "the path's middle", U"/da…/docs — 3.905 kB" },
        { "only the name", U"…/docs — 3.905 kB" },
        { "the name cut", U"…/d… — 3.905 kB" },
        { "not even the size fits", U"… — 3.905 …" },
    };
    for (const Row& row : rows) {
        const std::u32string line = details.describe(at("docs"), false, double(row.expected.size()), codePoints);
        EXPECT_EQ(utf8(line), utf8(row.expected)) << row.name;
        // One code point less takes the next row's form.
        EXPECT_NE(details.describe(at("docs"), false, double(row.expected.size()) - 1, codePoints), row.expected) << row.name;
    }
}

// The name of a path that ends in a separator is the folder before it, kept whole.
TEST(DetailsTextPieces, ElidingKeepsTheLastNameWhole)
{
    struct Row {
        std::u32string path;
        size_t budget;
        std::u32string expected;
    };
    const Row rows[] = {
        { U"/srv/data/docs", 14, U"/srv/data/docs" },
        { U"/srv/data/docs", 8, U"/s…/docs" },
        { U"/srv/data/docs/", 8, U"/…/docs/" },
        { U"/srv/data/docs/", 7, U"…/docs/" },
        { U"/srv/data/docs/", 5, U"…/do…" },
        { U"C:\\Users\\me\\", 5, U"…\\me\\" },
        { U"/srv/data/docs", 1, U"…" },
        { U"docs", 3, U"…d…" },
    };
    for (const Row& row : rows) {
        EXPECT_EQ(utf8(DetailsText::elidePath(row.path, row.budget)), utf8(row.expected)) << utf8(row.path) << " " << row.budget;
        EXPECT_LE(DetailsText::elidePath(row.path, row.budget).size(), row.budget);
    }
    EXPECT_EQ(DetailsText::lastComponentBudget(U"/srv/data/docs/"), 7u);
    EXPECT_EQ(DetailsText::lastComponentBudget(U"/srv/data/docs"), 6u);
    EXPECT_EQ(DetailsText::lastComponentBudget(U"docs"), 4u);
}

TEST_F(DetailsTextTest, TellsWhatTheScanCouldNotRead)
{
    const char* const folderLine = "/data — 9.766 kB (10,000 bytes) — 6 files, 1 folder";
    struct Row {
        const char* name;
        ScanProblems problems;
        std::string expected; // after the root's line
    };
    ScanProblems both;
    both.unlistedDirectories = 312;
    both.unreadableFiles = 4;
    both.firstUnlistedPath = "/data/docs/locked";
    both.firstError = EACCES;
    both.saturated = true;
    ScanProblems imported;
    imported.unreadableFiles = 1;
    imported.firstUnlistedPath = "/data/x\xFF";
    ScanProblems saturated;
    saturated.saturated = true;
    const Row rows[] = {
        { "folders, files, a reason and a saturated total", both,
          " — 312 folders could not be read, 4 file sizes could not be read (first: /data/docs/locked: "
          "Permission denied) — the total is a lower bound" },
        { "an import, which tells no reason", imported, " — 1 file size could not be read (first: /data/x\uFFFD)" },
        { "only a saturated total", saturated, " — the total is a lower bound" },
        { "nothing", {}, "" },
    };
    for (const Row& row : rows) {
        const DetailsText details(tree.get(), row.problems);
        EXPECT_EQ(utf8(details.describe(tree.get(), true)), folderLine + row.expected) << row.name;
        EXPECT_EQ(utf8(details.describe(tree.get(), false)), folderLine) << row.name << ": only with the focus shown";
    }

    // With the details gone, the middle of the first unreadable path gives way before the node's
    // path; its name stays until the node's own path has nothing left but its name.
    const DetailsText details(tree.get(), both);
    const auto codePoints = [](std::u32string_view text) { return double(text.size()); };
    const std::string bare = "/data — 9.766 kB — 312 folders could not be read, 4 file sizes could not be read (first: ";
    const std::string end = ": Permission denied) — the total is a lower bound";
    struct Elided {
        const char* name;
        std::string expected;
    };
    const Elided elided[] = {
        { "the notice's path whole", bare + "/data/docs/locked" + end },
        { "its middle", bare + "/da…/locked" + end },
        { "its name", bare + "…/locked" + end },
        { "its name cut", bare + "…/lo…" + end },
    };
    for (const Elided& row : elided) {
        const double width = double(orvex::gui::fromUtf8(row.expected).size());
        EXPECT_EQ(utf8(details.describe(tree.get(), true, width, codePoints)), row.expected) << row.name;
    }
}

TEST_F(DetailsTextTest, UnreadableNodesSaySoWhenDescribed)
{
    ScanProblems problems;
    problems.unlistedDirectories = problems.unreadableFiles = 1;
    problems.unlistedNodes = { at("docs"), at("tiny") };
    const DetailsText details(tree.get(), problems);
    const std::string folder = utf8(details.describe(at("docs"), false)), file = utf8(details.describe(at("tiny"), false));
    EXPECT_TRUE(folder.ends_with("4 files, 0 folders — could not be read")) << folder;
    EXPECT_TRUE(file.ends_with("of total — size could not be read")) << file;
    EXPECT_TRUE(utf8(details.describe(at("big.bin"), false)).ends_with("of total"));
}

// A path isolates each name with right-to-left text, so that the separators stay between the
// names they separate (the font engine orders each isolate on its own); other paths are as they were.
TEST(DetailsTextPieces, RightToLeftNamesAreIsolated)
{
    const std::pair<std::u32string, std::u32string> paths[] = {
        { U"/srv/data", U"/srv/data" },
        { U"/s/\u05E2\u05D1/f_\u05E2.bin/x", U"/s/\u2068\u05E2\u05D1\u2069/\u2068f_\u05E2.bin\u2069/x" },
        { U"C:\\\u0645\\", U"C:\\\u2068\u0645\u2069\\" },
    };
    for (const auto& [path, isolated] : paths)
        EXPECT_EQ(utf8(DetailsText::isolateNames(path)), utf8(isolated)) << utf8(path);

    auto tree = testtree::build(dir("/s", { dir("docs", { file("\xD7\xA2\xD7\x91.bin", 10) }) }));
    const DetailsText details(tree.get(), {});
    const FilesystemNode* leaf = testtree::child(testtree::child(tree.get(), "docs"), "\xD7\xA2\xD7\x91.bin");
    const auto points = [](std::u32string_view text) { return double(text.size()); };
    EXPECT_EQ(utf8(details.describe(leaf, false)).rfind(utf8(U"/s/docs/\u2068\u05E2\u05D1.bin\u2069 "), 0), 0u);
    // Elided, the path is isolated after the ellipsis is placed.
    EXPECT_EQ(utf8(details.describe(leaf, false, 17, points)), utf8(U"\u2026/\u2068\u05E2\u05D1.bin\u2069 \u2014 10 B"));
}

// A stored scan among several is named by its path; its time follows its own path on its line and
// is never part of the paths below it.
TEST(DetailsTextPieces, AStoredScansTimeFollowsItsPathOnly)
{
    auto tree = testtree::build(dir("2 scans", { dir("/srv/trees/scripts", { dir("dir", { file("f", 10) }) }), file("/x", 5) }));
    tree->scanSummary = true;
    FilesystemNode* stored = testtree::child(tree.get(), "/srv/trees/scripts");
    FilesystemNode* below = testtree::child(stored, "dir");
    ImportedScan imported;
    imported.storedRoots = { stored };
    imported.storedNotes = { ", scanned 2026-12-10 12:24" };
    DetailsText details(tree.get(), {});
    details.noteStoredScans(imported);
    EXPECT_EQ(utf8(details.describe(stored, false)).rfind("/srv/trees/scripts, scanned 2026-12-10 12:24 \u2014 10 B", 0), 0u);
    EXPECT_EQ(utf8(details.describe(below, false)).rfind("/srv/trees/scripts/dir \u2014 10 B", 0), 0u);
}

TEST(DetailsTextPieces, DisplayTextSharesNumbersAndTitles)
{
    const std::pair<const char*, const char*> texts[] = {
        { "tab\tesc\x1B" "del\x7F", "tab\\tesc\\x1Bdel\\x7F" },
        { "c1 \xC2\x85 and line separator \xE2\x80\xA8", "c1 \\u0085 and line separator \\u2028" },
        { "overlong \xC0\xAF surrogate \xED\xA0\x80 cut \xE2\x82", "overlong \uFFFD\uFFFD surrogate \uFFFD\uFFFD\uFFFD cut \uFFFD\uFFFD" },
        { "kept: \xC3\xA9 \xF0\x9F\x93\x81 \\", "kept: é 📁 \\" },
    };
    for (const auto& [bytes, shown] : texts)
        EXPECT_EQ(utf8(DetailsText::displayText(bytes)), shown) << bytes;

    // Shares and numbers at their edges (the line's rows above show the usual ones).
    EXPECT_EQ(DetailsText::shareText(5, 0), "0.0 %");
    EXPECT_EQ(DetailsText::shareText(5, 10000), "0.1 %");
    EXPECT_EQ(DetailsText::shareText(~uint64_t(0), ~uint64_t(0)), "100.0 %");
    EXPECT_EQ(DetailsText::groupedNumber(~uint64_t(0)), "18,446,744,073,709,551,615");

    const std::pair<const char*, const char*> components[] = {
        { "/usr", "usr" }, { "/usr/", "usr" }, { "/a//b//", "b" }, { "/", "/" }, { "C:\\", "C:" },
        { "C:\\Users\\me", "me" }, { "relative", "relative" },
    };
    for (const auto& [path, last] : components)
        EXPECT_EQ(DetailsText::lastComponent(path), last) << path;
}

} // namespace
