#include "scan/OverlappingPaths.h"

namespace {

// The first path of the list whose own identity is `identity`, or `paths` when none is.
size_t firstWithIdentity(const std::vector<Lineage>& lineages, const DirectoryLister::FileIdentity& identity)
{
    for (size_t j = 0; j < lineages.size(); ++j) {
        if (!lineages[j].empty() && lineages[j][0] == identity)
            return j;
    }
    return lineages.size();
}

} // namespace

// The outermost covering directory and the first of equal ones are never left out themselves, so
// every left-out path names one that is scanned.
std::vector<LeftOutPath> overlappingPaths(const std::vector<std::string>& paths, const std::vector<Lineage>& lineages)
{
    std::vector<LeftOutPath> leftOut;
    for (size_t i = 0; i < paths.size(); ++i) {
        const Lineage& lineage = lineages[i];
        if (lineage.empty())
            continue;
        size_t covering = paths.size();
        bool inside = false;
        for (size_t above = lineage.size() - 1; above >= 1 && covering == paths.size(); --above) {
            covering = firstWithIdentity(lineages, lineage[above]);
            inside = covering != paths.size();
        }
        if (covering == paths.size()) {
            const size_t first = firstWithIdentity(lineages, lineage[0]);
            if (first < i)
                covering = first;
        }
        if (covering != paths.size())
            leftOut.push_back({ i, paths[i], paths[covering], inside });
    }
    return leftOut;
}

std::string describeLeftOut(const std::vector<LeftOutPath>& leftOut)
{
    std::string text;
    for (const LeftOutPath& path : leftOut) {
        text += text.empty() ? "" : ", ";
        text += path.path + " (";
        if (path.inside)
            text += "inside " + path.coveringPath;
        else if (path.path == path.coveringPath)
            text += "given twice";
        else
            text += "the same directory as " + path.coveringPath;
        text += ")";
    }
    return text;
}
