// Atomic<T>: an owning wrapper over a separately allocated atomic cell. Used for the
// scanner's state word (int32_t), byte counter (uint64_t) and current-directory slot
// (uintptr_t). Every operation is sequentially consistent.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace orvex {

template <typename T>
class Atomic {
    static_assert(std::is_same_v<T, int32_t> || std::is_same_v<T, uint64_t> || std::is_same_v<T, uintptr_t>,
                  "Atomic: only the 32-bit signed, 64-bit unsigned and pointer-sized cells exist");

public:
    explicit Atomic(T initial = T()) : cell(std::make_unique<std::atomic<T>>(initial)) {}
    Atomic(const Atomic&) = delete;
    Atomic& operator=(const Atomic&) = delete;

    // Any thread.
    T load() const { return cell->load(); }
    // An exchange; returns the value stored.
    T store(T value)
    {
        cell->exchange(value);
        return value;
    }
    // Returns the new value.
    T increment()
        requires std::is_unsigned_v<T>
    {
        return cell->fetch_add(1) + 1;
    }
    T add(T amount)
        requires std::is_unsigned_v<T>
    {
        return cell->fetch_add(amount) + amount;
    }

private:
    std::unique_ptr<std::atomic<T>> cell;
};

} // namespace orvex
