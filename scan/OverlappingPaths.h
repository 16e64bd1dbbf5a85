// OverlappingPaths: which directories of a list of paths to scan are covered by another of them (the
// same directory again, whatever path or link names it, or one inside another), so that a scan of
// the list counts each byte once. Directories are compared by identity along their lineage, not by
// the text of their paths. Stored scans and single files are never compared and stay as given.
#pragma once

#include "scan/DirectoryLister.h"

#include <cstddef>
#include <string>
#include <vector>

// A path of the list left out of its scan, and the path that covers it.
struct LeftOutPath {
    size_t index = 0;         // its place in the list as given, from 0
    std::string path;         // as given
    std::string coveringPath; // the path of the list whose scan counts it (never itself left out)
    bool inside = false;      // it lies inside coveringPath; else it is the same directory
};

using Lineage = std::vector<DirectoryLister::FileIdentity>;

// `lineages[i]` is DirectoryLister::lineage of `paths[i]`, empty for what is not to be compared.
// A directory is left out when another's identity is in its lineage above it (it lies inside that
// one, the outermost such counting), or when an earlier one is the same directory. In list order.
std::vector<LeftOutPath> overlappingPaths(const std::vector<std::string>& paths, const std::vector<Lineage>& lineages);

// Each left-out path and why, for a message that says they were left out as already counted:
// "A (given twice), L (the same directory as A), A/sub (inside A)"; empty when nothing was.
std::string describeLeftOut(const std::vector<LeftOutPath>& leftOut);
