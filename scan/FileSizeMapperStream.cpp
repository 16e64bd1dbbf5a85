// The scanner's walk into a ScanSink: the same depth-first pre-order walk as FileSizeMapper::walk,
// with the same cancel checks, sums and problem counts, but every entry goes to the sink as it is
// found and nothing of a directory outlives its walk. Memory holds the chain of open directories
// (one frame each) and the lister's listings, whatever the tree's size.
#include "scan/FileSizeMapper.h"

#include "scan/ScanSink.h"

using orvex::MutexLock;

// An open directory of the walk. Its node lives in the frame rather than in NodePool memory: a
// pool chunk stays mapped while anything in it lives, so every long-open ancestor would keep a
// chunk of long-gone siblings mapped. The chain is a deque, whose frames never move, so parent
// links and the progress slot stay valid; the node is linked to its parent by the back pointer
// only, and its child array stays empty.
struct FileSizeMapper::StreamFrame {
    // The root's frame: the root node is the scan's result, held elsewhere.
    StreamFrame(FilesystemNode* root, DirectoryLister::Listing* listing) : directory(root), listing(listing) {}
    StreamFrame(std::string_view name, FilesystemNode* parent, DirectoryLister::Listing* listing)
        : nameBytes(name), directory(&node), listing(listing)
    {
        node.type = FilesystemNode::Type::DIRECTORY;
        node.name = { nameBytes.data(), uint32_t(nameBytes.size()) }; // an entry's name: far below longestName
        node.parent = parent;
    }
    ~StreamFrame() { node.name = {}; } // the bytes are nameBytes', not the pool's
    StreamFrame(const StreamFrame&) = delete;
    StreamFrame& operator=(const StreamFrame&) = delete;

    FilesystemNode node;   // unused in the root's frame
    std::string nameBytes; // the node's name, NUL-terminated as Name promises
    FilesystemNode* directory;
    DirectoryLister::Listing* listing;
    size_t nextEntry = 0;
    size_t nextSubdirectory = 0;
};

// Returns false when cancelled or stopped by the sink. Either way the open chain is freed here,
// after the progress slot moved to the root, which outlives the walk.
bool FileSizeMapper::stream(FilesystemNode* root, DirectoryLister& lister)
{
    std::deque<StreamFrame> chain;
    const bool complete = streamChain(root, lister, chain);
    MutexLock lock(chainMutex);
    currentDirectory.store(reinterpret_cast<uintptr_t>(root));
    chain.clear();
    return complete;
}

bool FileSizeMapper::streamChain(FilesystemNode* root, DirectoryLister& lister, std::deque<StreamFrame>& chain)
{
    chain.emplace_back(root, lister.root());
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
                noteUnreadableFile(entry.name, directory, entry.error);
            if (!sink->fileFound(entry.name, entry.size, entry.error != 0))
                return false;
            currentDirectory.store(reinterpret_cast<uintptr_t>(directory));
            bytesMapped.store(add(bytesMapped.load(), entry.size));
            continue;
        }
        if (canceling())
            return false;
        DirectoryLister::Listing* parentListing = frame.listing;
        const size_t subdirectory = frame.nextSubdirectory++;
        // The new frame's node is complete before the slot names it; `frame` is stale from here.
        chain.emplace_back(entry.name, directory, nullptr);
        FilesystemNode* opened = &chain.back().node;
        currentDirectory.store(reinterpret_cast<uintptr_t>(opened));
        DirectoryLister::Listing* listing = lister.child(parentListing, subdirectory);
        chain.back().listing = listing;
        noteListing(listing, opened);
        if (!sink->directoryEntered(opened->name.view(), DirectoryLister::error(listing) != 0))
            return false;
    }
}

// Frees the innermost open directory once the progress slot no longer names it or anything below.
void FileSizeMapper::leaveOpenDirectory(std::deque<StreamFrame>& chain)
{
    MutexLock lock(chainMutex);
    currentDirectory.store(reinterpret_cast<uintptr_t>(chain.back().directory->parent));
    chain.pop_back();
}

// A file whose size could not be read, noted with a node of its own for its path.
void FileSizeMapper::noteUnreadableFile(std::string_view name, FilesystemNode* directory, int error)
{
    FilesystemNode file;
    file.name = { const_cast<char*>(name.data()), uint32_t(name.size()) }; // an entry's name: far below longestName
    file.parent = directory;
    noteUnreadable(&file, error);
    file.name = {}; // the listing's bytes
}
