// Thread: a worker-thread base class; the subclass supplies run(). start(), join() and the
// destructor belong to the owning thread; run() runs on the worker. A subclass destructor must
// make run() return and call join() itself: destroying a Thread with an unjoined worker is a
// programming error.
#pragma once

#include <memory>

namespace orvex {

class Thread {
public:
    Thread();
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Owning thread. Starts a worker that calls run(), unless one exists already (running, or
    // finished and not joined). Throws std::system_error when the system cannot make a thread.
    void start();
    // Owning thread. Waits for run() to return and forgets the worker, so start() can run it
    // again; returns at once when no worker exists. Throws std::system_error when called from
    // the worker itself.
    void join();

protected:
    // Worker thread.
    virtual void run() = 0;

private:
    struct Cell; // the thread object, or null when no worker exists
    std::unique_ptr<Cell> cell;
};

} // namespace orvex
