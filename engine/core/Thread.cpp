// Thread on the standard thread type, whose failures already carry the error codes the
// engine reports: resource_unavailable_try_again on creation, invalid_argument and
// no_such_process on join. A join from the worker itself is refused here with
// resource_deadlock_would_occur.
#include "engine/core/Thread.h"

#include <cassert>
#include <mutex>
#include <system_error>
#include <thread>

namespace orvex {

struct Thread::Cell {
    std::unique_ptr<std::thread> thread;
    // Held by start() until `thread` is stored; the worker takes it once before calling run().
    std::mutex starting;
};

Thread::Thread() : cell(std::make_unique<Cell>()) {}

Thread::~Thread()
{
    assert(!cell->thread && "Thread: destroyed with an unjoined worker; make run() return and call join() first");
}

void Thread::start()
{
    if (cell->thread)
        return;
    // The worker waits until the thread object is stored, so that run() sees it: a join()
    // from inside run() must find it to refuse. A failed creation throws before anything is
    // stored, leaving the Thread idle.
    std::lock_guard<std::mutex> storing(cell->starting);
    cell->thread = std::make_unique<std::thread>([this] {
        cell->starting.lock();
        cell->starting.unlock();
        run();
    });
}

void Thread::join()
{
    if (!cell->thread)
        return;
    // Refused here rather than left to the system's join, which need not detect a self-join
    // (and, under ThreadSanitizer, forgets the worker after refusing, so the owner's join fails).
    if (cell->thread->get_id() == std::this_thread::get_id())
        throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur),
                                "Thread::join: called from the worker itself");
    cell->thread->join();
    cell->thread.reset();
}

} // namespace orvex
