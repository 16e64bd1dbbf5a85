// Mutex and ConditionVariable: thin owning wrappers over the standard non-recursive mutex and
// condition variable. Used across the GUI thread and the scanner's worker.
#pragma once

#include <memory>

namespace std {
class mutex;
class condition_variable;
}

namespace orvex {

class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Any thread. Throws std::system_error when the platform refuses the lock.
    void lock();
    void unlock();

private:
    friend class ConditionVariable;
    std::unique_ptr<std::mutex> mutex;
};

// Holds a Mutex for one scope.
class MutexLock {
public:
    explicit MutexLock(Mutex& m) : mutex(m) { mutex.lock(); }
    ~MutexLock() { mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex;
};

class ConditionVariable {
public:
    ConditionVariable();
    ~ConditionVariable();
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;

    void notifyAll();
    void notifyOne();
    // The caller holds `mutex`; it is released while blocked and held again on return.
    // Wake-ups may be spurious: wait in a loop on your own predicate.
    void wait(Mutex& mutex);

private:
    std::unique_ptr<std::condition_variable> condition;
};

} // namespace orvex
