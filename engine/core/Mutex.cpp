// Standard-library backing of Mutex and ConditionVariable.
#include "engine/core/Mutex.h"

#include <condition_variable>
#include <mutex>

namespace orvex {

Mutex::Mutex() : mutex(std::make_unique<std::mutex>()) {}
Mutex::~Mutex() = default;
void Mutex::lock() { mutex->lock(); }
void Mutex::unlock() { mutex->unlock(); }

ConditionVariable::ConditionVariable() : condition(std::make_unique<std::condition_variable>()) {}
ConditionVariable::~ConditionVariable() = default;
void ConditionVariable::notifyAll() { condition->notify_all(); }
void ConditionVariable::notifyOne() { condition->notify_one(); }

void ConditionVariable::wait(Mutex& mutex)
{
    // Adopt the caller's lock for the wait and hand it back still held.
    std::unique_lock<std::mutex> lock(*mutex.mutex, std::adopt_lock);
    condition->wait(lock);
    lock.release();
}

} // namespace orvex
