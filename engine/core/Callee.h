// Callee: the engine's polymorphic callback, MemberFunctionCallee (a method bound to an
// object) and CalleeList, an owning singly linked list that runs its enabled nodes in the order
// they were added. Main thread only.
#pragma once

#include "engine/core/UniquePtr.h"

namespace orvex {

template <typename R, typename... Args>
class Callee {
public:
    virtual ~Callee() = default;
    // A new heap copy that is enabled exactly when this one is and belongs to no list.
    virtual Callee* clone() const = 0;
    virtual R call(Args... args) = 0;

    bool enabled = true;
    UniquePtr<Callee> next; // the following node of the list this callee is in

protected:
    Callee() = default;
    Callee(const Callee& other) : enabled(other.enabled) {}
    Callee& operator=(const Callee&) = delete;
};

template <typename T, typename R, typename... Args>
class MemberFunctionCallee final : public Callee<R, Args...> {
public:
    using Method = R (T::*)(Args...);
    MemberFunctionCallee(T* object, Method method) : object(object), method(method) {}

    MemberFunctionCallee* clone() const override { return new MemberFunctionCallee(*this); }
    R call(Args... args) override { return (object->*method)(args...); }

    T* object; // not owned
    Method method;
};

template <typename R, typename... Args>
class CalleeList {
public:
    using Node = Callee<R, Args...>;

    CalleeList() = default;
    CalleeList(const CalleeList&) = delete;
    CalleeList& operator=(const CalleeList&) = delete;
    ~CalleeList() { clear(); }

    void append(UniquePtr<Node> callee)
    {
        Node* node = callee.get();
        *tail = std::move(callee);
        tail = &node->next;
    }

    // Calls every enabled node in insertion order; disabled nodes stay in the list.
    void invoke(Args... args)
    {
        for (Node* node = head.get(); node; node = node->next.get()) {
            if (node->enabled)
                node->call(args...);
        }
    }

    // Unlinks and deletes from the head, so a long list never recurses through `next`.
    void clear()
    {
        while (head) {
            UniquePtr<Node> first = std::move(head);
            head = std::move(first->next);
        }
        tail = &head;
    }

    Node* first() const { return head.get(); }

private:
    UniquePtr<Node> head;
    UniquePtr<Node>* tail = &head;
};

} // namespace orvex
