// FilesystemNode: one file or directory of the size tree the scanner builds. A node owns its
// name and, through its child array, its whole subtree; `parent` is a plain back pointer. The
// worker thread builds the tree; once handed over it is read-only. Nodes, names and child
// arrays live in NodePool memory and are given back one by one as nodes are destroyed.
#pragma once

#include "engine/core/UniquePtr.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct FilesystemNode {
    enum class Type : int32_t { FILE = 0, DIRECTORY = 1 };

    // Name bytes as the file system gave them (normally UTF-8), with a terminating NUL;
    // an empty name owns no buffer.
    struct Name {
        char* bytes = nullptr;
        uint64_t length = 0;
        std::string_view view() const { return { bytes ? bytes : "", size_t(length) }; }
    };

    // Owning child array in insertion (listing) order.
    struct Children {
        orvex::UniquePtr<FilesystemNode>* elements = nullptr;
        int64_t count = 0;
        int64_t capacity = 0;
        FilesystemNode* operator[](int64_t index) const { return elements[index].get(); }
    };

    Type type = Type::FILE;
    // The root of several scans shown together: a directory whose children are scan roots, each
    // named by its own path, so that a path below it starts at that child (see nodePath). It
    // names no place on disk itself.
    bool scanSummary = false;
    Name name;
    FilesystemNode* parent = nullptr; // not owned; null for the root
    uint64_t size = 0;                // bytes of a file; sum of the children for a directory
    Children children;

    FilesystemNode() = default;
    FilesystemNode(const FilesystemNode&) = delete;
    FilesystemNode& operator=(const FilesystemNode&) = delete;
    // Destroys the children last first, each subtree in the same order, then the child array,
    // then the name. Iterative, so a tree of any depth can be freed.
    ~FilesystemNode();

    // Copies the bytes into a buffer of exactly length + 1 bytes.
    void setName(std::string_view bytes);
    // Gives the old name back and sets `bytes`: only while no other thread may read the name.
    void rename(std::string_view bytes);
    // Stores `child` after the existing children; grows the array to 3 * (count + 1) / 2 + 15
    // elements when it is full.
    void appendChild(orvex::UniquePtr<FilesystemNode> child);

    static void* operator new(size_t size);
    static void operator delete(void* memory, size_t size) noexcept;
};

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
