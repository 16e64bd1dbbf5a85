// What the details line says about entries that could not be read, seen from different folders:
// the focused folder's notice counts only what lies below it, and a folder that holds such an
// entry (and is hatched in the chart for it) says so when it is hovered or selected.
#include "icicle/components/DetailsText.h"
#include "gui/TextObject.h"
#include "tests/icicle/TreeBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using testtree::dir;
using testtree::file;

namespace {

TEST(DetailsTextProblems, TheNoticeCountsWhatLiesBelowTheFocusedFolder)
{
    auto tree = testtree::build(dir("/data", { dir("docs", { dir("locked", {}), file("a.txt", 2000) }),
                                               dir("media", { file("x.bin", 10), file("y", 5) }),
                                               dir("plain", { file("p", 1) }) }));
    FilesystemNode* docs = testtree::child(tree.get(), "docs");
    FilesystemNode* media = testtree::child(tree.get(), "media");
    ScanProblems problems;
    problems.unlistedNodes = { testtree::child(media, "x.bin"), testtree::child(docs, "locked") };
    problems.unlistedDirectories = problems.unreadableFiles = 1;
    problems.firstUnlistedPath = "/data/media/x.bin";
    problems.firstError = EACCES;
    const DetailsText details(tree.get(), problems);

    struct Row {
        const char* name;
        const FilesystemNode* node;
        bool focused; // described as the focused folder, with the scan's notices
        const char* says;
        std::vector<const char*> never;
    } rows[] = {
        { "the whole tree", tree.get(), true,
          " — 1 folder could not be read, 1 file size could not be read (first: /data/media/x.bin: Permission denied)", {} },
        { "a folder holding an unreadable folder", docs, true, " — 1 folder could not be read (first: /data/docs/locked)",
          { "file size", "Permission denied", "some entries" } },
        { "a folder holding the scan's first", media, true,
          " — 1 file size could not be read (first: /data/media/x.bin: Permission denied)", { "folder could not" } },
        { "a folder with nothing unreadable", testtree::child(tree.get(), "plain"), true, "", { "could not" } },
        { "a hovered folder that holds one", docs, false, " — some entries below could not be read", { "first:" } },
        { "the unreadable folder itself", testtree::child(docs, "locked"), false, " — could not be read",
          { "some entries" } },
        { "a hovered folder with nothing unreadable", testtree::child(tree.get(), "plain"), false, "", { "could not" } },
    };
    for (const Row& row : rows) {
        const std::string line = orvex::gui::toUtf8(details.describe(row.node, row.focused));
        EXPECT_NE(line.find(row.says), std::string::npos) << row.name << ": " << line;
        for (const char* absent : row.never)
            EXPECT_EQ(line.find(absent), std::string::npos) << row.name << ": " << line;
    }
}

} // namespace
