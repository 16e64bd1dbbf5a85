// The scanner with a TreeImporter: an imported tree reaches the listener, the progress and the
// result as a walked one does; a failed import leaves no tree but its reason; a cancel stops it.
#include "ScanTreeFixture.h"

#include "scan/NodePool.h"
#include "scan/ScanListener.h"
#include "scan/TreeImporter.h"

#include <gtest/gtest.h>

using orvex::UniquePtr;
using namespace scantest;

namespace {

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

enum class Mode { SUCCEED, FAIL, WAIT_FOR_CANCEL };

// Builds /srv/data { a (5 bytes), d { b (7 bytes) } } the way a walk would, then fails or waits
// as told, from files whose content starts with "stored".
class FakeImporter final : public TreeImporter {
public:
    Mode mode = Mode::SUCCEED;
    std::atomic<bool> waiting { false };

    bool recognizes(const std::string& path) override
    {
        std::ifstream in(path);
        std::string word;
        in >> word;
        return word == "stored";
    }

    Outcome import(const std::string& path, ScanListener& listener, const std::function<bool()>& cancelled,
                   ScanProblems& problems, ImportedScan& origin, TreeFolding&) override
    {
        Outcome outcome;
        UniquePtr<FilesystemNode> root = makeNode(FilesystemNode::Type::DIRECTORY, "/srv/data", nullptr, 0);
        listener.directoryEntered(root.get());
        addFile(*root, "a", 5, listener);
        UniquePtr<FilesystemNode> sub = makeNode(FilesystemNode::Type::DIRECTORY, "d", root.get(), 0);
        FilesystemNode* d = sub.get();
        root->appendChild(std::move(sub));
        listener.directoryEntered(d);
        addFile(*d, "b", 7, listener);
        if (mode == Mode::WAIT_FOR_CANCEL) {
            waiting = true;
            while (!cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            outcome.partial = std::move(root);
            return outcome;
        }
        if (mode == Mode::FAIL) {
            outcome.failure = path + ": at byte 42: a name contains '/'";
            outcome.partial = std::move(root);
            return outcome;
        }
        listener.directoryLeft(d);
        root->size += d->size;
        listener.directoryLeft(root.get());
        problems.unlistedDirectories = 1;
        problems.firstUnlistedPath = "/srv/data/d";
        origin = { path, true, 1700000000, {}, {} };
        outcome.tree = std::move(root);
        return outcome;
    }

private:
    static void addFile(FilesystemNode& directory, const char* name, uint64_t size, ScanListener& listener)
    {
        UniquePtr<FilesystemNode> file = makeNode(FilesystemNode::Type::FILE, name, &directory, size);
        directory.size += size;
        listener.fileAdded(file.get());
        directory.appendChild(std::move(file));
    }
};

} // namespace

TEST(FileSizeMapperImport, ImportedTreeReachesListenerProgressAndResult)
{
    TempTree tree;
    writeText(tree.at("scan.json"), "stored scan");
    FakeImporter importer;
    WalkChecker checker;
    FileSizeMapper mapper;
    mapper.setListener(&checker);
    mapper.setImporter(&importer);
    mapper.mapDirectory(tree.path() + "/scan.json");
    ASSERT_TRUE(finishes(mapper));
    uint64_t bytes = 0;
    stateOf(mapper, &bytes);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(checker.entered, 2);
    EXPECT_EQ(checker.left, 2) << "the root's directoryLeft comes from the scanner, once";
    EXPECT_EQ(checker.files, 2);
    EXPECT_EQ(mapper.problems().unlistedDirectories, 1u);
    EXPECT_EQ(mapper.problems().importFailure, "");
    const ImportedScan origin = mapper.imported();
    EXPECT_EQ(origin.file, tree.path() + "/scan.json");
    EXPECT_EQ(origin.timestamp, 1700000000u);
    UniquePtr<FilesystemNode> root = mapper.takeResult();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->name.view(), "/srv/data");
    EXPECT_EQ(root->size, 12u);
}

TEST(FileSizeMapperImport, FailureCancelAndOrdinaryFiles)
{
    TempTree tree;
    writeText(tree.at("scan.json"), "stored scan");
    writeText(tree.at("plain.txt"), "just a file");
    FakeImporter importer;
    FileSizeMapper mapper;
    mapper.setImporter(&importer);

    // A failed import: no tree, the reason kept, no origin.
    importer.mode = Mode::FAIL;
    mapper.mapDirectory(tree.path() + "/scan.json");
    ASSERT_TRUE(finishes(mapper));
    EXPECT_EQ(mapper.problems().importFailure, tree.path() + "/scan.json: at byte 42: a name contains '/'");
    EXPECT_EQ(mapper.imported().file, "");
    EXPECT_EQ(mapper.takeResult(), nullptr);

    // A cancelled import stops and leaves the scanner idle.
    importer.mode = Mode::WAIT_FOR_CANCEL;
    mapper.mapDirectory(tree.path() + "/scan.json");
    ASSERT_TRUE(waitFor([&] { return importer.waiting.load(); }));
    mapper.cancel();
    EXPECT_EQ(stateOf(mapper), IDLE);
    EXPECT_EQ(mapper.takeResult(), nullptr);

    // A file the importer does not recognise is mapped as the single file it is.
    importer.mode = Mode::SUCCEED;
    mapper.mapDirectory(tree.path() + "/plain.txt");
    UniquePtr<FilesystemNode> file = finish(mapper);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->type, FilesystemNode::Type::FILE);
    EXPECT_EQ(file->size, 11u);
    EXPECT_EQ(mapper.imported().file, "");
}
