// Thread on the standard thread type, whose failures already carry the error codes the
// engine reports: resource_unavailable_try_again on creation, invalid_argument,
// resource_deadlock_would_occur and no_such_process on join.
#include "engine/core/Thread.h"

#include <cassert>
#include <thread>

namespace orvex {

Thread::Thread() : cell(std::make_unique<Cell>()) {}

Thread::~Thread()
{
    assert(!cell->thread && "Thread: destroyed with an unjoined worker; make run() return and call join() first");
}

void Thread::start()
{
    if (cell->thread)
        return;
    // A failed creation throws before anything is stored, leaving the Thread idle.
    cell->thread = std::make_unique<std::thread>([this] { run(); });
}

void Thread::join()
{
    if (!cell->thread)
        return;
    cell->thread->join();
    cell->thread.reset();
}

} // namespace orvex
