// UniquePtr: the engine's single-owner pointer. Deleting goes through the object's own
// (virtual, for polymorphic types) destructor and any class-specific operator delete, which
// is how size-tree nodes return to their pool.
#pragma once

#include <cstddef>
#include <utility>

namespace orvex {

template <typename T>
class UniquePtr {
public:
    UniquePtr() noexcept = default;
    UniquePtr(std::nullptr_t) noexcept {}
    explicit UniquePtr(T* object) noexcept : pointer(object) {}
    template <typename U>
    UniquePtr(UniquePtr<U>&& other) noexcept : pointer(other.release()) {}
    UniquePtr(UniquePtr&& other) noexcept : pointer(other.release()) {}
    UniquePtr& operator=(UniquePtr&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniquePtr& operator=(std::nullptr_t) noexcept
    {
        reset();
        return *this;
    }
    UniquePtr(const UniquePtr&) = delete;
    UniquePtr& operator=(const UniquePtr&) = delete;
    ~UniquePtr() { delete pointer; }

    // Deletes the owned object after the new one is stored, so a destructor that looks
    // back at its owner sees the owner already updated.
    void reset(T* object = nullptr) noexcept
    {
        T* old = pointer;
        pointer = object;
        delete old;
    }
    T* release() noexcept { return std::exchange(pointer, nullptr); }
    T* get() const noexcept { return pointer; }
    T* operator->() const noexcept { return pointer; }
    T& operator*() const noexcept { return *pointer; }
    explicit operator bool() const noexcept { return pointer != nullptr; }
    bool operator==(std::nullptr_t) const noexcept { return pointer == nullptr; }

private:
    T* pointer = nullptr;
};

template <typename T, typename... Args>
UniquePtr<T> makeUnique(Args&&... args)
{
    return UniquePtr<T>(new T(std::forward<Args>(args)...));
}

} // namespace orvex
