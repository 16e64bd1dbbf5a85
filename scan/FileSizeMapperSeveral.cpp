// Several paths in one scan: each is mapped as map() maps a single path, with its tree joined to a
// summary root, and the list ends as one scan (finished, cancelled or failed) here.
#include "scan/FileSizeMapper.h"

#include "scan/ScanListener.h"

using orvex::MutexLock;
using orvex::UniquePtr;

// Takes the directories another one covers out of `paths`. Standard input (with an importer) and
// whatever is not a directory have no lineage, so they are never compared.
std::vector<LeftOutPath> FileSizeMapper::leaveOutOverlaps(std::vector<std::string>& paths) const
{
    if (paths.size() < 2)
        return {};
    std::vector<Lineage> lineages;
    for (const std::string& path : paths)
        lineages.push_back(path == "-" && importer ? Lineage {} : DirectoryLister::lineage(path));
    std::vector<LeftOutPath> leftOut = overlappingPaths(paths, lineages);
    for (size_t i = leftOut.size(); i-- > 0;)
        paths.erase(paths.begin() + std::ptrdiff_t(leftOut[i].index));
    return leftOut;
}

// Adds the problems of one scan of several to those of the scans before it.
void FileSizeMapper::addProblems(ScanProblems&& from)
{
    ScanProblems& into = scanProblems;
    if (into.unlistedDirectories + into.unreadableFiles == 0 && !from.firstUnlistedPath.empty()) {
        into.firstUnlistedPath = std::move(from.firstUnlistedPath);
        into.firstError = from.firstError;
    }
    into.unlistedDirectories += from.unlistedDirectories;
    into.unreadableFiles += from.unreadableFiles;
    into.unlistedNodes.insert(into.unlistedNodes.end(), from.unlistedNodes.begin(), from.unlistedNodes.end());
    into.saturated = into.saturated || from.saturated;
}

void FileSizeMapper::adopt(UniquePtr<FilesystemNode> tree)
{
    tree->parent = summaryNode;
    summaryNode->appendChild(std::move(tree));
}

void FileSizeMapper::endPath()
{
    if (!summaryNode)
        state.store(FINISHED);
}

void FileSizeMapper::endCancelled()
{
    if (!summaryNode)
        state.store(IDLE);
}

// Each path is mapped as map() maps a single one, with summaryNode set so that its tree joins the
// summary and the state stays SCANNING; the end of the list, a cancel or an import failure ends
// the whole scan here.
void FileSizeMapper::mapSeveral(const std::vector<std::string>& paths)
{
    UniquePtr<FilesystemNode> node(new FilesystemNode);
    node->type = FilesystemNode::Type::DIRECTORY;
    node->scanSummary = true;
    node->setName(std::to_string(paths.size()) + " scans");
    {
        MutexLock lock(mutex);
        if (canceling()) {
            state.store(IDLE);
            return;
        }
        summaryNode = node.get();
        result = std::move(node);
        bytesMapped.store(0);
    }
    if (listener)
        listener->directoryEntered(summaryNode);
    for (const std::string& path : paths) {
        map(path);
        if (canceling() || !scanProblems.importFailure.empty())
            break;
    }
    if (!canceling() && scanProblems.importFailure.empty())
        refoldScans();
    foldedRoots.clear();
    MutexLock lock(mutex);
    FilesystemNode* summary = summaryNode;
    summaryNode = nullptr;
    currentDirectory.store(0);
    currentRoot.store(0);
    if (canceling()) {
        result.reset();
        scanProblems.unlistedNodes.clear();
        storedNames.clear();
        bytesMapped.store(0);
        state.store(IDLE);
        return;
    }
    if (!scanProblems.importFailure.empty()) {
        abandoned = std::move(result); // the progress slot may still point into it
        scanProblems.unlistedNodes.clear();
        storedNames.clear();
        bytesMapped.store(0);
        state.store(FINISHED);
        return;
    }
    for (const auto& [root, note] : storedNames) {
        importedScan.storedRoots.push_back(root);
        importedScan.storedNotes.push_back(note);
    }
    if (listener)
        listener->directoryLeft(summary);
    bytesMapped.store(summary->size);
    state.store(FINISHED);
}
