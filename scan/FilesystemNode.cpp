// Size-tree node storage: names and child arrays in NodePool memory, iterative destruction.
#include "scan/FilesystemNode.h"

#include "scan/NodePool.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <cstring>
#include <new>
#include <vector>

using orvex::UniquePtr;

void* FilesystemNode::operator new(size_t size) { return NodePool::allocate(size, alignof(FilesystemNode)); }

void FilesystemNode::operator delete(FilesystemNode* node, std::destroying_delete_t) noexcept
{
    if (node->type == Type::FOLDED) {
        static_cast<FoldedEntry*>(node)->~FoldedEntry();
        NodePool::release(node, sizeof(FoldedEntry));
        return;
    }
    node->~FilesystemNode();
    NodePool::release(node, sizeof(FilesystemNode));
}

void FilesystemNode::operator delete(void* memory, size_t size) noexcept { NodePool::release(memory, size); }

int64_t layoutChildCount(const FilesystemNode* folder)
{
    int64_t count = folder->children.count;
    if (!folder->holdsFolded)
        return count;
    for (int64_t i = 0; i < folder->children.count; ++i)
        if (const FoldedEntry* folded = asFolded(folder->children[i]))
            count += int64_t(folded->items) - 1;
    return count;
}

namespace {

void releaseOwnStorage(FilesystemNode& node)
{
    if (node.children.elements) {
        NodePool::release(node.children.elements, size_t(node.children.capacity) * sizeof(UniquePtr<FilesystemNode>));
        node.children.elements = nullptr;
        node.children.capacity = 0;
    }
    if (node.name.bytes) {
        NodePool::release(node.name.bytes, size_t(node.name.length) + 1);
        node.name.bytes = nullptr;
        node.name.length = 0;
    }
}

} // namespace

FilesystemNode::~FilesystemNode()
{
    // Post-order from the last child, climbing back through parent links instead of recursing.
    FilesystemNode* node = this;
    while (true) {
        if (node->children.count > 0) {
            node = node->children[node->children.count - 1];
            continue;
        }
        if (node == this)
            break;
        FilesystemNode* up = node->parent;
        assert(up && up->children.count > 0 && up->children[up->children.count - 1] == node
               && "FilesystemNode: a child's parent link must point at the node that holds it");
        up->children.count -= 1;
        up->children.elements[up->children.count].reset(); // a leaf by now
        up->children.elements[up->children.count].~UniquePtr();
        node = up;
    }
    releaseOwnStorage(*this);
}

void FilesystemNode::setName(std::string_view bytes)
{
    assert(!name.bytes && "FilesystemNode::setName: names never change once set");
    if (bytes.empty())
        return;
    if (bytes.size() > longestName)
        throw std::bad_alloc();
    char* buffer = NodePool::allocateBytes(bytes.size() + 1);
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = '\0';
    name.bytes = buffer;
    name.length = uint32_t(bytes.size());
}

void FilesystemNode::rename(std::string_view bytes)
{
    if (name.bytes)
        NodePool::release(name.bytes, size_t(name.length) + 1);
    name = {};
    setName(bytes);
}

void FilesystemNode::appendChild(UniquePtr<FilesystemNode> child)
{
    if (children.count == children.capacity)
        reserveChildren(std::min(3 * (int64_t(children.count) + 1) / 2 + 15, mostChildren));
    if (children.count == children.capacity) // mostChildren already
        throw std::bad_alloc();
    new (&children.elements[children.count]) UniquePtr<FilesystemNode>(std::move(child));
    children.count += 1;
}

UniquePtr<FilesystemNode>* FilesystemNode::allocateChildArray(int64_t capacity)
{
    if (capacity > mostChildren)
        throw std::bad_alloc();
    return static_cast<UniquePtr<FilesystemNode>*>(
        NodePool::allocate(size_t(capacity) * sizeof(UniquePtr<FilesystemNode>), alignof(UniquePtr<FilesystemNode>)));
}

void FilesystemNode::installChildren(UniquePtr<FilesystemNode>* elements, int64_t count, int64_t capacity) noexcept
{
    assert(0 <= count && count <= capacity && capacity <= mostChildren
           && "FilesystemNode::installChildren: `count` of the `capacity` elements allocateChildArray made");
    clearChildren();
    children.elements = elements;
    children.count = int32_t(count);
    children.capacity = int32_t(capacity);
}

void FilesystemNode::clearChildren()
{
    // The children go as they would with this node: last first, each subtree iteratively.
    while (children.count > 0) {
        children.count -= 1;
        children.elements[children.count].reset();
        children.elements[children.count].~UniquePtr();
    }
    if (children.elements)
        NodePool::release(children.elements, size_t(children.capacity) * sizeof(UniquePtr<FilesystemNode>));
    children.elements = nullptr;
    children.capacity = 0;
}

void FilesystemNode::reserveChildren(int64_t capacity)
{
    if (capacity <= children.capacity)
        return;
    UniquePtr<FilesystemNode>* grown = allocateChildArray(capacity);
    for (int64_t i = 0; i < children.count; ++i)
        new (&grown[i]) UniquePtr<FilesystemNode>(std::move(children.elements[i]));
    if (children.elements)
        NodePool::release(children.elements, size_t(children.capacity) * sizeof(UniquePtr<FilesystemNode>));
    children.elements = grown;
    children.capacity = int32_t(capacity);
}

namespace {
// The system's own separator. Windows also takes '/', so a root typed with one needs no other;
// elsewhere '\\' is an ordinary character of a name.
#ifdef _WIN32
constexpr char pathSeparator = '\\';
bool endsInSeparator(const std::string& path) { return path.back() == '/' || path.back() == '\\'; }
#else
constexpr char pathSeparator = '/';
bool endsInSeparator(const std::string& path) { return path.back() == '/'; }
#endif
} // namespace

namespace {

char separatorBelow(const FilesystemNode* root) { return root->name.view().substr(0, 1) == "/" ? '/' : pathSeparator; }

} // namespace

std::string nodePathTail(const FilesystemNode* node, const FilesystemNode* root, size_t levels, bool& leftOut)
{
    const FilesystemNode* kept[64];
    size_t count = 0;
    levels = std::min<size_t>(levels, std::size(kept));
    for (; node && node != root && count < levels; node = node->parent)
        kept[count++] = node;
    leftOut = node && node != root;
    std::string path(root->name.view());
    const char separator = separatorBelow(root);
    for (size_t i = count; i-- > 0;) {
        if (!path.empty() && (!endsInSeparator(path) || (leftOut && i + 1 == count)))
            path += separator;
        path += kept[i]->name.view();
    }
    return path;
}

std::string nodePath(const FilesystemNode* node)
{
    std::vector<const FilesystemNode*> chain;
    for (; node; node = isScanRoot(node) ? nullptr : node->parent)
        chain.push_back(node);
    std::string path;
    // A tree read from a scan file made on a POSIX system keeps its '/' paths on Windows too.
    const char separator = !chain.empty() && chain.back()->name.view().substr(0, 1) == "/" ? '/' : pathSeparator;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty() && !endsInSeparator(path))
            path += separator;
        path += (*it)->name.view();
    }
    return path;
}
