// The scanner's walk into a ScanSink: the same depth-first pre-order walk as FileSizeMapper::walk,
// with the same cancel checks, sums and problem counts, but every entry goes to the sink as it is
// found and nothing of a directory outlives its walk. Memory holds the chain of open directories
// (one node each, owned by the walk's stack) and the lister's listings, whatever the tree's size.
#include "scan/FileSizeMapper.h"

#include "scan/ScanSink.h"

using orvex::MutexLock;
using orvex::UniquePtr;

namespace {

UniquePtr<FilesystemNode> makeChainNode(FilesystemNode::Type type, std::string_view name, FilesystemNode* parent)
{
    UniquePtr<FilesystemNode> node(new FilesystemNode);
    node->type = type;
    node->setName(name);
    node->parent = parent;
    return node;
}

} // namespace

// An open directory of the walk. Its node is linked to its parent by the back pointer only, so
// the progress slot can name it, and no child array ever grows.
struct FileSizeMapper::StreamFrame {
    UniquePtr<FilesystemNode> owned; // null for the root, which `result` holds
    FilesystemNode* directory;
    DirectoryLister::Listing* listing;
    size_t nextEntry;
    size_t nextSubdirectory;
};

// Returns false when cancelled or stopped by the sink. Either way the open chain is freed here,
// after the progress slot moved to the root, which outlives the walk.
bool FileSizeMapper::stream(FilesystemNode* root, DirectoryLister& lister)
{
    std::vector<StreamFrame> chain;
    const bool complete = streamChain(root, lister, chain);
    MutexLock lock(chainMutex);
    currentDirectory.store(reinterpret_cast<uintptr_t>(root));
    chain.clear();
    return complete;
}

bool FileSizeMapper::streamChain(FilesystemNode* root, DirectoryLister& lister, std::vector<StreamFrame>& chain)
{
    chain.push_back({ nullptr, root, lister.root(), 0, 0 });
    noteListing(chain.back().listing, root);
    if (!sink->directoryEntered(root->name.view(), DirectoryLister::error(chain.back().listing) != 0))
        return false;
    while (true) {
        StreamFrame& frame = chain.back();
        FilesystemNode* directory = frame.directory;
        if (frame.nextEntry == DirectoryLister::entryCount(frame.listing)) {
            lister.release(frame.listing);
            if (canceling())
                return false;
            if (!sink->directoryLeft(directory->size))
                return false;
            if (chain.size() == 1)
                return true;
            directory->parent->size = add(directory->parent->size, directory->size);
            leaveOpenDirectory(chain);
            continue;
        }
        DirectoryLister::Entry entry = DirectoryLister::entry(frame.listing, frame.nextEntry++);
        if (!entry.directory) {
            if (canceling())
                return false;
            directory->size = add(directory->size, entry.size);
            if (entry.error) // rare: only then a node, for the problem's path
                noteUnreadable(makeChainNode(FilesystemNode::Type::FILE, entry.name, directory).get(), entry.error);
            if (!sink->fileFound(entry.name, entry.size, entry.error != 0))
                return false;
            currentDirectory.store(reinterpret_cast<uintptr_t>(directory));
            bytesMapped.store(add(bytesMapped.load(), entry.size));
            continue;
        }
        UniquePtr<FilesystemNode> sub = makeChainNode(FilesystemNode::Type::DIRECTORY, entry.name, directory);
        if (canceling())
            return false;
        FilesystemNode* subdirectory = sub.get();
        currentDirectory.store(reinterpret_cast<uintptr_t>(subdirectory));
        DirectoryLister::Listing* listing = lister.child(frame.listing, frame.nextSubdirectory++);
        noteListing(listing, subdirectory);
        chain.push_back({ std::move(sub), subdirectory, listing, 0, 0 }); // `frame` is stale from here
        if (!sink->directoryEntered(subdirectory->name.view(), DirectoryLister::error(listing) != 0))
            return false;
    }
}

// Frees the innermost open directory once the progress slot no longer names it or anything below.
void FileSizeMapper::leaveOpenDirectory(std::vector<StreamFrame>& chain)
{
    MutexLock lock(chainMutex);
    currentDirectory.store(reinterpret_cast<uintptr_t>(chain.back().directory->parent));
    chain.pop_back();
}
