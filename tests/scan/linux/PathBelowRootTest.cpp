// linkBelowRoot on real links in a scratch tree: which links below a scan root it meets and where
// they end in the path, and that the root's own path, however written, is followed as given.
#include "scan/PathBelowRoot.h"

#include "../ScanTreeFixture.h"

#include <gtest/gtest.h>

namespace {

using scantest::TempTree;

TEST(PathBelowRoot, MeetsTheFirstLinkBelowTheRootOnly)
{
    TempTree scratch;
    scratch.dir("a");
    scratch.dir("a/b");
    scratch.file("a/b/f", 10);
    scratch.dir("c");
    scratch.file("c/g", 10);
    scratch.symlink("../c", "a/linkdir");
    scratch.symlink("b/f", "a/filelink");
    const std::string root = scratch.path();
    const size_t all = std::string::npos;
    const struct {
        const char* name;
        std::string path;
        size_t rootLength;
        std::string link; // the prefix of `path` that names the link met, empty for none
    } rows[] = {
        { "real folders to a file", root + "/a/b/f", root.size(), "" },
        { "a folder on the way is a link", root + "/a/linkdir/g", root.size(), root + "/a/linkdir" },
        { "the entry itself is a link", root + "/a/filelink", root.size(), root + "/a/filelink" },
        { "a link named with a trailing separator", root + "/a/linkdir/", root.size(), root + "/a/linkdir" },
        { "the root written with its trailing separator", root + "/a/linkdir/g", root.size() + 1, root + "/a/linkdir" },
        { "doubled separators below the root", root + "//a//linkdir//g", root.size(), root + "//a//linkdir" },
        { "a link within the root's own path is followed", root + "/a/linkdir/g", root.size() + 10, "" },
        { "the root alone", root, root.size(), "" },
        { "a missing folder on the way", root + "/a/none/f", root.size(), "" },
        { "a file where a folder was", root + "/a/b/f/x", root.size(), "" },
        { "nothing checked without a root", root + "/a/linkdir/g", all, "" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.path.substr(0, linkBelowRoot(row.path, row.rootLength)), row.link) << row.name;
}

} // namespace
