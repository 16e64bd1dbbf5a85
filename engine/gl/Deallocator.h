// Deallocator: the release chain's nodes. A node owns one shared resource of a GlContext and
// destroys it in release(), while the context can still make GL calls.
#pragma once

namespace orvex::Deallocator {

class BaseNode {
public:
    virtual ~BaseNode() = default; // frees the node only
    virtual void release() = 0;    // destroys the held object
    int references = 1;
    BaseNode* next = nullptr;
};

template <typename T>
class Node final : public BaseNode {
public:
    explicit Node(T* object) : object(object) {}
    void release() override
    {
        delete object;
        object = nullptr;
    }
    T* object;
};

} // namespace orvex::Deallocator
