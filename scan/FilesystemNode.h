// FilesystemNode: one file or directory of the size tree the scanner builds. A node owns its
// name and, through its child array, its whole subtree; `parent` is a plain back pointer. The
// worker thread builds the tree; once handed over it is read-only. Nodes, names and child
// arrays live in NodePool memory and are given back one by one as nodes are destroyed.
#pragma once

#include "engine/core/UniquePtr.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

struct FilesystemNode {
    // FOLDED: a FoldedEntry, standing for entries too small ever to be drawn (see TreeFolding).
    enum class Type : uint8_t { FILE = 0, DIRECTORY = 1, FOLDED = 2 };

    // The longest name and the most children a node holds (what Name and Children can count).
    // Asking for more throws std::bad_alloc, as exhausted memory does.
    static constexpr uint64_t longestName = UINT32_MAX - 1;
    static constexpr int64_t mostChildren = INT32_MAX;

    // Name bytes as the file system gave them (normally UTF-8), with a terminating NUL;
    // an empty name owns no buffer. Packed to 12 bytes, so that the node's type and flags fill
    // the rest of its first 16 bytes: millions of nodes are alive at once.
#pragma pack(push, 4)
    struct Name {
        char* bytes = nullptr;
        uint32_t length = 0;
        std::string_view view() const { return { bytes ? bytes : "", size_t(length) }; }
    };
#pragma pack(pop)

    // Owning child array in insertion (listing) order. The count is signed: loops count down
    // from count - 1.
    struct Children {
        orvex::UniquePtr<FilesystemNode>* elements = nullptr;
        int32_t count = 0;
        int32_t capacity = 0;
        FilesystemNode* operator[](int64_t index) const { return elements[index].get(); }
    };

    Name name;
    Type type = Type::FILE;
    // The root of several scans shown together: a directory whose children are scan roots, each
    // named by its own path, so that a path below it starts at that child (see nodePath). It
    // names no place on disk itself.
    bool scanSummary = false;
    // Some children are FOLDED: the layout then counts each as the children it stands for.
    bool holdsFolded = false;
    FilesystemNode* parent = nullptr; // not owned; null for the root
    uint64_t size = 0;                // bytes of a file; sum of the children for a directory
    Children children;

    FilesystemNode() = default;
    FilesystemNode(const FilesystemNode&) = delete;
    FilesystemNode& operator=(const FilesystemNode&) = delete;
    // Destroys the children last first, each subtree in the same order, then the child array,
    // then the name. Iterative, so a tree of any depth can be freed.
    ~FilesystemNode();

    // Copies the bytes into a buffer of exactly length + 1 bytes. Throws std::bad_alloc for a
    // name longer than longestName.
    void setName(std::string_view bytes);
    // Gives the old name back and sets `bytes`: only while no other thread may read the name.
    void rename(std::string_view bytes);
    // Stores `child` after the existing children; grows the array to 3 * (count + 1) / 2 + 15
    // elements (at most mostChildren) when it is full. Throws std::bad_alloc when the node holds
    // mostChildren already; `child` is then destroyed.
    void appendChild(orvex::UniquePtr<FilesystemNode> child);
    // Makes room for `capacity` children in all (no less than there are), so that appending up to
    // that many allocates nothing more. Throws std::bad_alloc above mostChildren.
    void reserveChildren(int64_t capacity);
    // Destroys every child (each subtree, iteratively) and gives the child array back.
    void clearChildren();
    // A child array of `capacity` elements from NodePool, for installChildren; throws
    // std::bad_alloc, also above mostChildren.
    static orvex::UniquePtr<FilesystemNode>* allocateChildArray(int64_t capacity);
    // Destroys the children there are and takes `elements` (from allocateChildArray, `count` of
    // its `capacity` elements constructed) as the child array.
    void installChildren(orvex::UniquePtr<FilesystemNode>* elements, int64_t count, int64_t capacity) noexcept;

    static void* operator new(size_t size);
    // Destroys the node as what its type says it is (a FoldedEntry is larger) and gives its memory back.
    static void operator delete(FilesystemNode* node, std::destroying_delete_t) noexcept;
    // Only for a constructor that throws inside a new-expression.
    static void operator delete(void* memory, size_t size) noexcept;
};

// The node's memory is most of the tree's: keep the layout at 48 bytes (name, type and flags in
// the first 16, then parent, size and the child array).
static_assert(sizeof(void*) != 8 || sizeof(FilesystemNode) == 48, "FilesystemNode grew past 48 bytes");

// A FOLDED node: one entry in place of children of its parent that can never get a cell, because
// each is smaller than the chart's minimum cell (see TreeFolding): a run of consecutive children,
// or a folder's whole contents. It keeps what the chart and its details still need of them: their
// bytes (`size`), their counts, and what the layout reads of left-out children (how many there
// were, for the palette's steps, and the largest, for the balance test). No name, no children.
struct FoldedEntry : FilesystemNode {
    uint64_t files = 0;   // files among the entries and anywhere below them
    uint64_t folders = 0; // folders among the entries and anywhere below them
    uint64_t items = 0;   // the parent's children it stands for
    uint64_t largest = 0; // the size of the largest of those children

    FoldedEntry() { type = Type::FOLDED; }
};

inline const FoldedEntry* asFolded(const FilesystemNode* node)
{
    return node->type == FilesystemNode::Type::FOLDED ? static_cast<const FoldedEntry*>(node) : nullptr;
}

// How many children the layout places or leaves out: a FOLDED child counts as the children it
// stands for. O(1) unless the folder holds folded entries.
int64_t layoutChildCount(const FilesystemNode* folder);

// Byte totals saturate at 2^64 - 1 instead of wrapping: a total that wrapped would look like a
// small, believable number.
constexpr uint64_t saturatedSize = ~uint64_t(0);
inline uint64_t saturatingAdd(uint64_t a, uint64_t b) { return a > saturatedSize - b ? saturatedSize : a + b; }

// Whether `node` is the root of a scan: the tree's root, or a child of a scan summary.
inline bool isScanRoot(const FilesystemNode* node) { return !node->parent || node->parent->scanSummary; }

// The node's full path: its scan root's name (the scanned path), then every name below it, joined
// with '/' ('\\' on Windows, unless the root's name starts with '/': a POSIX system's scan read
// from a file) unless the text so far is empty or already ends in a separator.
std::string nodePath(const FilesystemNode* node);

// The node's path with at most `levels` (up to 64) levels below the root, in time independent of the depth:
// the root's name (`root` is the node's root, known to the caller), then the last `levels` names
// joined as nodePath joins them. When levels between the two were left out, *leftOut is set and
// the first name kept starts with a separator even where the root's name ends in one.
std::string nodePathTail(const FilesystemNode* node, const FilesystemNode* root, size_t levels, bool& leftOut);
