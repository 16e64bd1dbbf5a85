// A scan folded as it is built ends with what its final total can draw, walked or read from an
// export, however few nodes it has: a folder judged early, against a smaller total, is judged
// again at the end. A scan that never started folding is left whole.
#include "ScanFileTestSupport.h"

#include "../scan/ScanTreeFixture.h"
#include "scan/ScanDirectory.h"
#include "scan/TreeFolding.h"
#include "scanfile/ScanFileImporter.h"

#include <fstream>

using namespace scanfiletest;
using orvex::UniquePtr;
using scantest::TempTree;

namespace {

size_t liveNodes(const FilesystemNode* root)
{
    size_t count = 0;
    std::vector<const FilesystemNode*> stack { root };
    while (!stack.empty()) {
        const FilesystemNode* node = stack.back();
        stack.pop_back();
        count += 1;
        for (int64_t i = 0; i < node->children.count; ++i)
            stack.push_back(node->children[i]);
    }
    return count;
}

} // namespace

TEST(FoldedScanTest, TheLastPassFoldsAgainstTheFinalTotalWhateverTheNodeCount)
{
    // Two folders, each of one 1 GiB file and 20 files of 3,000 bytes, and a 4 GiB file beside
    // them. In an export that lists the folders first, the first completes when the chart's
    // minimum cell is 1,024 bytes, the second at 2,048, and each keeps its small files; only a
    // last pass against the final total (6,144) folds them. A walk lists them in any order.
    TempTree tree, elsewhere;
    const uint64_t big = uint64_t(1) << 30, small = 3000, late = uint64_t(4) << 30;
    std::string text = "[1,2,{},[{\"name\":\"/t\"}";
    for (const std::string name : { "a", "b" }) {
        tree.dir(name);
        tree.file(name + "/big", big);
        text += ",[{\"name\":\"" + name + "\"},{\"name\":\"big\",\"asize\":" + std::to_string(big) + "}";
        for (int i = 0; i < 20; ++i) {
            tree.file(name + "/s" + std::to_string(i), small);
            text += ",{\"name\":\"s" + std::to_string(i) + "\",\"asize\":" + std::to_string(small) + "}";
        }
        text += "]";
    }
    tree.file("late", late);
    text += ",{\"name\":\"late\",\"asize\":" + std::to_string(late) + "}]]";
    const uint64_t eachFolder = big + 20 * small, total = 2 * eachFolder + late;
    ASSERT_EQ(TreeFolding::threshold(eachFolder), 1024u);
    ASSERT_EQ(TreeFolding::threshold(2 * eachFolder), 2048u);
    ASSERT_EQ(TreeFolding::threshold(total), 6144u);
    std::ofstream(elsewhere.at("tree.json"), std::ios::binary) << text;
    ScanFileReader reader;
    UniquePtr<FilesystemNode> whole = readText(text, reader);
    ASSERT_NE(whole, nullptr) << reader.failure();
    writeScanFile(*whole, elsewhere.at("tree.json.zst"));

    const struct {
        const char* what;
        std::vector<std::string> paths;
        uint64_t budget;
        uint64_t total;
        int folded; // folders of a big file whose small files must be folded; -1: nothing folded
    } rows[] = {
        { "walked from the start", { tree.path() }, 0, total, 2 },
        { "imported", { elsewhere.at("tree.json") }, 0, total, 2 },
        { "imported, compressed", { elsewhere.at("tree.json.zst") }, 0, total, 2 },
        { "walked, budget never reached", { tree.path() }, TreeFolding::defaultBudget, total, -1 },
        { "imported, never folded", { elsewhere.at("tree.json") }, TreeFolding::never, total, -1 },
        // Each scan of a list ends knowing only the bytes so far; the list's total decides.
        { "a list of walks", { tree.at("a"), tree.at("b"), tree.at("late") }, 0, total, 2 },
        { "a walk listed before a stored scan", { tree.at("a"), elsewhere.at("tree.json") }, 0, eachFolder + total, 3 },
    };
    ScanFileImporter importer;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScanProblems problems;
        UniquePtr<FilesystemNode> scanned = scanPaths(row.paths, &problems, &importer, nullptr, row.budget);
        ASSERT_NE(scanned, nullptr) << problems.importFailure;
        EXPECT_EQ(scanned->size, row.total);
        if (row.folded < 0) {
            EXPECT_EQ(liveNodes(scanned.get()), 46u) << "the whole tree";
            continue;
        }
        // In each folder the big file and one summary for each run of small files on either side
        // of it, as the listing orders them; a run of one file is no run and stays a file.
        int folders = 0;
        std::vector<const FilesystemNode*> stack { scanned.get() };
        while (!stack.empty()) {
            const FilesystemNode* folder = stack.back();
            stack.pop_back();
            uint64_t foldedFiles = 0, foldedBytes = 0, smallFiles = 0, bigFiles = 0;
            for (int64_t j = 0; j < folder->children.count; ++j) {
                const FilesystemNode* child = folder->children[j];
                stack.push_back(child);
                if (const FoldedEntry* folded = asFolded(child)) {
                    foldedFiles += folded->files;
                    foldedBytes += folded->size;
                } else if (child->type == FilesystemNode::Type::FILE) {
                    smallFiles += child->size == small;
                    bigFiles += child->size == big;
                }
            }
            if (bigFiles == 0)
                continue;
            SCOPED_TRACE(nodePath(folder));
            folders += 1;
            EXPECT_LE(smallFiles, 2u) << "small files left unfolded";
            EXPECT_EQ(foldedFiles + smallFiles, 20u);
            EXPECT_EQ(foldedBytes, (20 - smallFiles) * small);
            EXPECT_LE(folder->children.count, 5);
        }
        EXPECT_EQ(folders, row.folded);
    }
}

// The list's last pass keeps what could not be read, as each scan's own folding does: found by
// walking down from the root, at the node the problems name.
TEST(FoldedScanTest, AListsLastPassKeepsWhatCouldNotBeRead)
{
    TempTree elsewhere;
    const uint64_t big = uint64_t(1) << 30, small = 3000;
    std::string text = "[1,2,{},[{\"name\":\"/t\"},[{\"name\":\"a\"},{\"name\":\"big\",\"asize\":" + std::to_string(big) + "}";
    for (int i = 0; i < 20; ++i) {
        text += ",{\"name\":\"s" + std::to_string(i) + "\",\"asize\":" + std::to_string(small)
            + (i == 5 ? ",\"read_error\":true}" : "}");
    }
    text += "]]]";
    std::ofstream(elsewhere.at("a.json"), std::ios::binary) << text;
    elsewhere.file("late", uint64_t(4) << 30); // makes the list's minimum cell 5,120 bytes

    ScanFileImporter importer;
    ScanProblems problems;
    UniquePtr<FilesystemNode> scanned = scanPaths({ elsewhere.at("a.json"), elsewhere.at("late") }, &problems, &importer, nullptr, 0);
    ASSERT_NE(scanned, nullptr) << problems.importFailure;
    ASSERT_EQ(problems.unlistedNodes.size(), 1u);
    const FilesystemNode* found = nullptr;
    size_t nodes = 0;
    std::vector<const FilesystemNode*> stack { scanned.get() };
    while (!stack.empty()) {
        const FilesystemNode* node = stack.back();
        stack.pop_back();
        nodes += 1;
        if (node == problems.unlistedNodes[0])
            found = node;
        for (int64_t i = 0; i < node->children.count; ++i)
            stack.push_back(node->children[i]);
    }
    ASSERT_NE(found, nullptr) << "the unreadable file was folded away";
    EXPECT_EQ(nodePath(found), "/t/a/s5");
    // The summary, the stored root, a, big, s5, the runs on either side of s5, and the loose file.
    EXPECT_EQ(nodes, 8u);
}
