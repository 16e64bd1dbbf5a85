// NonNull<T*>: a pointer passed by value that the receiver may assume is not null. The check
// happens once, where the pointer is wrapped.
#pragma once

#include <cassert>
#include <cstddef>

namespace orvex {

template <typename P>
class NonNull;

template <typename T>
class NonNull<T*> {
public:
    NonNull(T* object) noexcept : pointer(object)
    {
        assert(object && "NonNull: constructed from a null pointer; check the pointer before passing it");
    }
    NonNull(std::nullptr_t) = delete;
    T* get() const noexcept { return pointer; }
    T* operator->() const noexcept { return pointer; }
    T& operator*() const noexcept { return *pointer; }
    operator T*() const noexcept { return pointer; }

private:
    T* pointer;
};

} // namespace orvex
