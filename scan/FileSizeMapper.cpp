// The scanner's command loop, the mapping of one path and the walk. The walk is depth first and
// pre-order; listings come from the platform's DirectoryLister, which may read ahead but hands
// them over in exactly this order.
#include "scan/FileSizeMapper.h"

#include "scan/DirectoryLister.h"
#include "scan/NodePool.h"
#include "scan/ScanListener.h"
#include "scan/ScanSink.h"

#include <cassert>
#include <optional>
#include <vector>

using orvex::MutexLock;
using orvex::UniquePtr;

namespace {

UniquePtr<FilesystemNode> makeNode(FilesystemNode::Type type, std::string_view name, FilesystemNode* parent, uint64_t size)
{
    UniquePtr<FilesystemNode> node(new FilesystemNode);
    node->type = type;
    node->setName(name);
    node->parent = parent;
    node->size = size;
    return node;
}

} // namespace

// A fold frees nodes the progress slot may name: the slot moves to the folder being folded, which
// stays, under the chain's mutex that getProgress reads under.
class FileSizeMapper::FoldGuard final : public TreeFolding::Guard {
public:
    explicit FoldGuard(FileSizeMapper& mapper) : mapper(mapper) {}
    void lock(const FilesystemNode* folder) override
    {
        mapper.chainMutex.lock();
        mapper.currentDirectory.store(reinterpret_cast<uintptr_t>(folder));
    }
    void unlock() override { mapper.chainMutex.unlock(); }

private:
    FileSizeMapper& mapper;
};

// Between an importer and the scanner's listener: keeps the progress (bytes, current directory)
// as the walk does, and holds back the root's directoryLeft, which the scanner sends itself under
// its mutex once the import is complete.
class FileSizeMapper::ImportRelay final : public ScanListener {
public:
    explicit ImportRelay(FileSizeMapper& mapper) : mapper(mapper) {}

    void scanStarted(const char*, size_t) override {}
    void directoryEntered(FilesystemNode* directory) override
    {
        if (!directory->parent) {
            directory->parent = mapper.summaryNode; // null for a single path
            mapper.currentRoot.store(reinterpret_cast<uintptr_t>(directory));
        }
        mapper.currentDirectory.store(reinterpret_cast<uintptr_t>(directory));
        if (mapper.listener)
            mapper.listener->directoryEntered(directory);
    }
    void fileAdded(FilesystemNode* file) override
    {
        if (mapper.listener)
            mapper.listener->fileAdded(file);
        mapper.currentDirectory.store(reinterpret_cast<uintptr_t>(file->parent));
        mapper.bytesMapped.store(saturatingAdd(mapper.bytesMapped.load(), file->size));
    }
    void directoryLeft(FilesystemNode* directory) override
    {
        if (directory->parent && !directory->parent->scanSummary && mapper.listener)
            mapper.listener->directoryLeft(directory);
    }

private:
    FileSizeMapper& mapper;
};

FileSizeMapper::FileSizeMapper() { start(); }

FileSizeMapper::~FileSizeMapper()
{
    {
        MutexLock lock(mutex);
        if (state.load() == SCANNING) {
            state.store(CANCELING);
            waitWhileBusy();
        }
        state.store(QUIT);
        wakeWorker.notifyAll();
    }
    join();
}

void FileSizeMapper::setListener(ScanListener* newListener) { listener = newListener; }

void FileSizeMapper::setImporter(TreeImporter* newImporter)
{
    assert(!sink && "FileSizeMapper::setImporter: a scan into a sink imports nothing");
    importer = newImporter;
}

void FileSizeMapper::setSink(ScanSink* newSink)
{
    assert(!listener && !importer && "FileSizeMapper::setSink: set either a sink or a listener and an importer");
    sink = newSink;
}

void FileSizeMapper::waitWhileBusy()
{
    while (state.load() == SCANNING || state.load() == CANCELING)
        scanDone.wait(mutex);
}

void FileSizeMapper::mapDirectory(std::string path)
{
    std::vector<std::string> paths;
    paths.push_back(std::move(path));
    mapPaths(std::move(paths));
}

void FileSizeMapper::refreshDirectory(std::string path, size_t rootLength)
{
    {
        MutexLock lock(mutex);
        nextFollowedLength = rootLength;
    }
    mapDirectory(std::move(path));
}

void FileSizeMapper::mapPaths(std::vector<std::string> paths)
{
    assert(!paths.empty() && "FileSizeMapper::mapPaths: nothing to map");
    assert((!sink || paths.size() == 1) && "FileSizeMapper::mapPaths: a scan into a sink maps one path");
    std::vector<LeftOutPath> leftOut = leaveOutOverlaps(paths);
    MutexLock lock(mutex);
    switch (state.load()) {
    case SCANNING:
    case CANCELING:
        state.store(CANCELING);
        waitWhileBusy();
        break;
    case FINISHED:
        result.reset();
        bytesMapped.store(0);
        state.store(IDLE);
        break;
    case QUIT:
        return;
    default:
        break;
    }
    abandoned.reset();
    requestedPaths = std::move(paths);
    requestedFollowedLength = std::exchange(nextFollowedLength, std::string::npos);
    scanProblems = {};
    scanProblems.leftOut = std::move(leftOut);
    importedScan = {};
    storedNames.clear();
    foldedRoots.clear();
    const std::string rootName =
        requestedPaths.size() == 1 ? requestedPaths[0] : std::to_string(requestedPaths.size()) + " scans";
    if (listener)
        listener->scanStarted(rootName.data(), rootName.size());
    state.store(SCANNING);
    wakeWorker.notifyOne();
}

void FileSizeMapper::cancel()
{
    MutexLock lock(mutex);
    if (state.load() != SCANNING)
        return;
    state.store(CANCELING);
    waitWhileBusy();
}

UniquePtr<FilesystemNode> FileSizeMapper::takeResult()
{
    MutexLock lock(mutex);
    if (state.load() != FINISHED)
        return nullptr;
    abandoned.reset();
    bytesMapped.store(0);
    state.store(IDLE);
    storedNames.clear();
    return std::move(result);
}

ScanProblems FileSizeMapper::problems()
{
    MutexLock lock(mutex);
    return state.load() == FINISHED || state.load() == IDLE ? scanProblems : ScanProblems {};
}

ImportedScan FileSizeMapper::imported()
{
    MutexLock lock(mutex);
    return state.load() == FINISHED || state.load() == IDLE ? importedScan : ImportedScan {};
}

ScanState FileSizeMapper::getProgress(std::string& outPath, uint64_t& outBytes, uint64_t& outRootNameLength,
                                      size_t levels, bool& outLeftOut)
{
    auto loaded = ScanState(state.load());
    outPath.clear();
    outBytes = 0;
    outRootNameLength = 0;
    outLeftOut = false;
    if (loaded != SCANNING && loaded != FINISHED)
        return loaded;
    outBytes = bytesMapped.load();
    if (loaded == SCANNING) {
        MutexLock chainLock(chainMutex);
        // As below; the root slot is set before the directory slot and cleared with it.
        auto* directory = reinterpret_cast<const FilesystemNode*>(currentDirectory.load());
        auto* root = reinterpret_cast<const FilesystemNode*>(currentRoot.load());
        if (directory && root) {
            outRootNameLength = root->name.length;
            outPath = nodePathTail(directory, root, levels, outLeftOut);
        }
    }
    return loaded;
}

ScanState FileSizeMapper::getProgress(std::string& outPath, uint64_t& outBytes, uint64_t& outRootNameLength)
{
    auto loaded = ScanState(state.load());
    outPath.clear();
    outBytes = 0;
    outRootNameLength = 0;
    if (loaded != SCANNING && loaded != FINISHED)
        return loaded;
    outBytes = bytesMapped.load();
    if (loaded == SCANNING) {
        // Names and parent links are written before a node is published here and never change;
        // nodes are destroyed only while this thread is blocked in cancel, mapDirectory or the
        // destructor, after the slot was cleared, or (with a sink, or by a fold) under the
        // chain's mutex after the slot moved to a node that stays.
        MutexLock chainLock(chainMutex);
        auto* directory = reinterpret_cast<const FilesystemNode*>(currentDirectory.load());
        if (directory) {
            const FilesystemNode* root = directory;
            while (!isScanRoot(root))
                root = root->parent;
            outRootNameLength = root->name.length;
            outPath = nodePath(directory);
        }
    }
    return loaded;
}

void FileSizeMapper::run()
{
    DirectoryLister::lowerCallingThreadPriority();
    mutex.lock();
    while (true) {
        switch (state.load()) {
        case IDLE:
        case FINISHED:
            wakeWorker.wait(mutex);
            break;
        case CANCELING:
            state.store(IDLE);
            scanDone.notifyAll();
            wakeWorker.wait(mutex);
            break;
        case SCANNING: {
            std::vector<std::string> paths = requestedPaths;
            followedLength = requestedFollowedLength;
            mutex.unlock();
            if (paths.size() == 1)
                map(paths[0]);
            else
                mapSeveral(paths);
            mutex.lock();
            scanDone.notifyAll();
            break;
        }
        default: // QUIT
            mutex.unlock();
            NodePool::retireThreadChunk(); // no thread-exit retirement does it (see NodePool.h)
            return;
        }
    }
}

void FileSizeMapper::map(const std::string& path)
{
    // Each scan allocates from chunks of its own, so freeing one tree frees all of its memory.
    NodePool::retireThreadChunk();
    uint64_t fileSize = 0;
    if (path == "-" && importer) {
        importTree(path);
        NodePool::retireThreadChunk();
        return;
    }
    switch (DirectoryLister::examineRoot(path, fileSize, followedLength)) {
    case DirectoryLister::RootKind::FILE:
        if (importer && importer->recognizes(path))
            importTree(path);
        else
            mapFile(path, fileSize);
        break;
    case DirectoryLister::RootKind::DIRECTORY:
        mapTree(path);
        break;
    case DirectoryLister::RootKind::MISSING: {
        MutexLock lock(mutex);
        if (canceling())
            endCancelled();
        else
            endPath();
        break;
    }
    }
    NodePool::retireThreadChunk();
}

void FileSizeMapper::setNodeBudget(uint64_t budget) { nodeBudget.store(budget); }

void FileSizeMapper::setLeftOutFiles(std::vector<DirectoryLister::FileIdentity> files)
{
    MutexLock lock(mutex);
    leftOutFiles = std::move(files);
}

void FileSizeMapper::mapFile(const std::string& path, uint64_t size)
{
    UniquePtr<FilesystemNode> node = makeNode(FilesystemNode::Type::FILE, path, summaryNode, size);
    if (sink && !canceling())
        sink->fileFound(path, size, false);
    MutexLock lock(mutex);
    if (canceling()) {
        endCancelled();
        return; // the node dies with this scope
    }
    if (summaryNode) {
        bytesMapped.store(add(bytesMapped.load(), size));
        summaryNode->size = add(summaryNode->size, size);
        adopt(std::move(node));
    } else {
        bytesMapped.store(size);
        result = std::move(node);
    }
    endPath();
}

void FileSizeMapper::mapTree(const std::string& path)
{
    UniquePtr<FilesystemNode> node = makeNode(FilesystemNode::Type::DIRECTORY, path, summaryNode, 0);
    FilesystemNode* root = node.get();
    std::vector<DirectoryLister::FileIdentity> filesLeftOut;
    {
        MutexLock lock(mutex);
        if (canceling()) {
            endCancelled();
            return;
        }
        filesLeftOut = leftOutFiles;
        if (summaryNode) {
            summaryNode->appendChild(std::move(node)); // its size joins the summary's at the end
        } else {
            result = std::move(node);
            bytesMapped.store(0);
        }
    }
    currentRoot.store(reinterpret_cast<uintptr_t>(root));
    if (listener)
        listener->directoryEntered(root);
    {
        DirectoryLister lister(path, followedLength, std::move(filesLeftOut));
        if (sink) {
            stream(root, lister);
        } else {
            FoldGuard guard(*this);
            TreeFolding folding(nodeBudget.load(), &guard);
            std::optional<NodePool::Recycling> recycling;
            if (nodeBudget.load() != TreeFolding::never)
                recycling.emplace();
            walk(root, lister, folding);
            if (summaryNode && folding.folding())
                foldedRoots.push_back(root);
        }
    }
    MutexLock lock(mutex);
    currentDirectory.store(0);
    currentRoot.store(0);
    if (canceling()) {
        if (summaryNode)
            return; // mapSeveral destroys the summary with this tree
        state.store(IDLE);
        result.reset();
        scanProblems.unlistedNodes.clear(); // they named nodes of the tree just destroyed
        bytesMapped.store(0);
        return;
    }
    if (listener)
        listener->directoryLeft(root);
    if (summaryNode)
        summaryNode->size = add(summaryNode->size, root->size);
    endPath();
}

void FileSizeMapper::importTree(const std::string& path)
{
    {
        MutexLock lock(mutex);
        if (canceling()) {
            endCancelled();
            return;
        }
        if (!summaryNode)
            bytesMapped.store(0);
    }
    ImportRelay relay(*this);
    ScanProblems stored;
    ImportedScan origin;
    // A stored scan is folded from its first folder, with its memory reused as it goes.
    FoldGuard guard(*this);
    const uint64_t budget = nodeBudget.load() == TreeFolding::never ? TreeFolding::never : 0;
    TreeFolding folds(budget, &guard);
    std::optional<NodePool::Recycling> recycling;
    if (budget != TreeFolding::never)
        recycling.emplace();
    TreeImporter::Outcome outcome = importer->import(path, relay, [this] { return canceling(); }, stored, origin, folds);
    recycling.reset();
    MutexLock lock(mutex);
    currentDirectory.store(0);
    currentRoot.store(0);
    if (canceling()) {
        // The interface thread waits in cancel() or mapDirectory() until this scan is gone.
        outcome.tree.reset();
        outcome.partial.reset();
        if (summaryNode)
            return; // mapSeveral ends the scan
        bytesMapped.store(0);
        state.store(IDLE);
        return;
    }
    if (summaryNode) {
        addProblems(std::move(stored));
        if (outcome.partial)
            adopt(std::move(outcome.partial)); // abandoned with the summary by mapSeveral
    } else {
        abandoned = std::move(outcome.partial);
        scanProblems = std::move(stored);
    }
    scanProblems.importFailure = std::move(outcome.failure);
    if (outcome.tree) {
        if (summaryNode) {
            FilesystemNode* root = outcome.tree.get();
            storedNames.emplace_back(root, storedScanCaption(root->name.view(), origin).substr(root->name.length));
            if (budget != TreeFolding::never)
                foldedRoots.push_back(root);
            adopt(std::move(outcome.tree));
            if (listener)
                listener->directoryLeft(root);
            summaryNode->size = add(summaryNode->size, root->size);
        } else {
            importedScan = std::move(origin);
            bytesMapped.store(outcome.tree->size);
            if (listener)
                listener->directoryLeft(outcome.tree.get());
            result = std::move(outcome.tree);
        }
    } else {
        if (!summaryNode)
            bytesMapped.store(0);
        if (scanProblems.importFailure.empty())
            scanProblems.importFailure = path + ": the stored scan could not be read";
    }
    endPath();
}

// Folds each scan of a complete list that folded again against the list's total, which the
// chart's minimum cell follows and which none of its scans knew when it ended.
void FileSizeMapper::refoldScans()
{
    if (foldedRoots.empty())
        return;
    FoldGuard guard(*this);
    for (FilesystemNode* root : foldedRoots) {
        TreeFolding folds(0, &guard);
        folds.refoldAgainst(root, summaryNode->size, scanProblems.unlistedNodes);
    }
    foldedRoots.clear();
    NodePool::retireThreadChunk(); // the new summaries' chunk stays this tree's own
}

// Depth first with an explicit stack, so any depth fits. Returns false when cancelled; the
// partial tree stays linked for the caller to destroy. Each directory's child array is sized to
// its listing before the first child is linked: grown arrays would leave dead ones behind in the
// pool's chunks and slack in every live one.
bool FileSizeMapper::walk(FilesystemNode* root, DirectoryLister& lister, TreeFolding& folds)
{
    folding = &folds;
    struct Clear {
        TreeFolding*& folding;
        ~Clear() { folding = nullptr; }
    } clear { folding };
    struct Frame {
        FilesystemNode* directory;
        DirectoryLister::Listing* listing;
        size_t nextEntry;
        size_t nextSubdirectory;
    };
    std::vector<Frame> stack;
    stack.push_back({ root, lister.root(), 0, 0 });
    root->reserveChildren(int64_t(DirectoryLister::entryCount(stack.back().listing)));
    folds.nodeMade();
    folds.folderOpened(root);
    noteListing(stack.back().listing, root);
    while (true) {
        Frame& frame = stack.back();
        FilesystemNode* directory = frame.directory;
        if (frame.nextEntry == DirectoryLister::entryCount(frame.listing)) {
            lister.release(frame.listing);
            stack.pop_back();
            if (stack.empty()) {
                if (!canceling())
                    folds.folderClosed(root, bytesMapped.load());
                return true;
            }
            if (canceling())
                return false;
            if (listener)
                listener->directoryLeft(directory);
            stack.back().directory->size = add(stack.back().directory->size, directory->size);
            folds.folderClosed(directory, bytesMapped.load());
            continue;
        }
        DirectoryLister::Entry entry = DirectoryLister::entry(frame.listing, frame.nextEntry++);
        if (!entry.directory) {
            UniquePtr<FilesystemNode> file = makeNode(FilesystemNode::Type::FILE, entry.name, directory, entry.size);
            folds.nodeMade();
            if (canceling())
                return false;
            directory->size = add(directory->size, entry.size);
            if (entry.error)
                noteUnreadable(file.get(), entry.error);
            if (listener)
                listener->fileAdded(file.get());
            directory->appendChild(std::move(file));
            currentDirectory.store(reinterpret_cast<uintptr_t>(directory));
            // Only this thread writes the count while a scan runs.
            bytesMapped.store(add(bytesMapped.load(), entry.size));
            continue;
        }
        UniquePtr<FilesystemNode> sub = makeNode(FilesystemNode::Type::DIRECTORY, entry.name, directory, 0);
        folds.nodeMade();
        if (canceling())
            return false;
        FilesystemNode* subdirectory = sub.get();
        directory->appendChild(std::move(sub));
        folds.folderOpened(subdirectory);
        currentDirectory.store(reinterpret_cast<uintptr_t>(subdirectory));
        if (listener)
            listener->directoryEntered(subdirectory);
        DirectoryLister::Listing* listing = lister.child(frame.listing, frame.nextSubdirectory++);
        subdirectory->reserveChildren(int64_t(DirectoryLister::entryCount(listing)));
        noteListing(listing, subdirectory);
        stack.push_back({ subdirectory, listing, 0, 0 });
    }
}

void FileSizeMapper::noteListing(const DirectoryLister::Listing* listing, const FilesystemNode* directory)
{
    int error = DirectoryLister::error(listing);
    if (!error)
        return;
    noteUnreadable(directory, error);
    if (!directory->parent)
        scanProblems.rootUnlisted = true;
}

// Records a directory that could not be listed completely or a file whose size could not be read.
void FileSizeMapper::noteUnreadable(const FilesystemNode* node, int error)
{
    if (node->type == FilesystemNode::Type::FILE)
        scanProblems.unreadableFiles += 1;
    else
        scanProblems.unlistedDirectories += 1;
    if (scanProblems.unlistedDirectories + scanProblems.unreadableFiles == 1) {
        scanProblems.firstUnlistedPath = nodePath(node);
        scanProblems.firstError = error;
    }
    if (!sink) // a streamed scan frees its nodes as it goes
        scanProblems.unlistedNodes.push_back(node);
    if (folding)
        folding->keep(node);
}

uint64_t FileSizeMapper::add(uint64_t total, uint64_t size)
{
    uint64_t sum = saturatingAdd(total, size);
    if (sum == saturatedSize && total + size != saturatedSize)
        scanProblems.saturated = true;
    return sum;
}
