// Tests for Thread, Mutex, ConditionVariable and Atomic: the worker lifecycle, the stop-and-join
// shutdown the scanner relies on, hand-offs through the condition variable and lost updates.
// Every wait for a worker is a bounded poll, so a broken primitive fails a test instead of hanging it.
#include "engine/core/Atomic.h"
#include "engine/core/Mutex.h"
#include "engine/core/Thread.h"
#include "engine/core/UniquePtr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

using namespace orvex;
using namespace std::chrono_literals;

namespace {

// Generous on purpose: the machine is shared, and every wait here normally ends in milliseconds.
constexpr auto TIMEOUT = 20s;

bool waitUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + TIMEOUT;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs `action` on a helper thread and polls for its end. A hung action is left detached, so
// the test reports a failure instead of hanging; the action must own everything it touches.
template <typename Action>
bool finishesWithin(Action action)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread helper([action = std::move(action), done]() mutable {
        action();
        *done = true;
    });
    if (!waitUntil([&] { return done->load(); })) {
        helper.detach();
        return false;
    }
    helper.join();
    return true;
}

// Counts its runs and holds each one inside run() until the test opens the gate.
class GatedWorker final : public Thread {
public:
    ~GatedWorker() override
    {
        gateOpen = true;
        join();
    }

    std::atomic<bool> gateOpen { false };
    std::atomic<int> runs { 0 };
    std::atomic<int> finished { 0 };
    std::atomic<bool> ranOnCallerThread { false };
    std::thread::id caller = std::this_thread::get_id();

protected:
    void run() override
    {
        ++runs;
        if (std::this_thread::get_id() == caller)
            ranOnCallerThread = true;
        while (!gateOpen)
            std::this_thread::sleep_for(1ms);
        ++finished;
    }
};

// Runs a given body; `stop` must make the body return, and is called before the join.
class Worker final : public Thread {
public:
    Worker(std::function<void()> body, std::function<void()> stop = [] {})
        : body(std::move(body)), stop(std::move(stop))
    {
    }
    ~Worker() override
    {
        stop();
        join();
    }

protected:
    void run() override { body(); }

private:
    std::function<void()> body;
    std::function<void()> stop;
};

} // namespace

TEST(ThreadTest, StartTwiceRunsOnce)
{
    GatedWorker worker;
    worker.start();
    worker.start();
    ASSERT_TRUE(waitUntil([&] { return worker.runs == 1; })) << "run() never started";

    worker.gateOpen = true;
    ASSERT_TRUE(waitUntil([&] { return worker.finished == 1; })) << "run() never returned";
    // Finished but not joined still counts as an existing worker.
    worker.start();
    worker.join();

    EXPECT_EQ(worker.runs, 1);
    EXPECT_FALSE(worker.ranOnCallerThread);
}

TEST(ThreadTest, JoinWithoutWorkerReturnsAtOnce)
{
    GatedWorker worker;
    EXPECT_NO_THROW(worker.join());
    EXPECT_NO_THROW(worker.join());

    worker.gateOpen = true;
    worker.start();
    worker.join();
    EXPECT_NO_THROW(worker.join());
    EXPECT_EQ(worker.runs, 1);
}

TEST(ThreadTest, StartAfterJoinRunsAgain)
{
    GatedWorker worker;
    worker.gateOpen = true;
    worker.start();
    worker.join();
    ASSERT_EQ(worker.finished, 1);

    worker.start();
    ASSERT_TRUE(waitUntil([&] { return worker.finished == 2; })) << "the second start() ran nothing";
    worker.join();
    EXPECT_EQ(worker.runs, 2);
    EXPECT_FALSE(worker.ranOnCallerThread);
}

TEST(ThreadTest, JoinFromWorkerThrowsDeadlock)
{
    // The worker joins itself as the first thing it does, so the refusal must not depend on
    // start() having finished on the owning thread.
    class SelfJoiner final : public Thread {
    public:
        ~SelfJoiner() override { join(); }
        std::atomic<bool> reported { false };
        std::atomic<bool> threw { false };
        std::error_code code;

    protected:
        void run() override
        {
            try {
                join();
            } catch (const std::system_error& error) {
                code = error.code();
                threw = true;
            }
            reported = true;
        }
    };

    for (int attempt = 0; attempt < 20; ++attempt) {
        SelfJoiner worker;
        worker.start();
        ASSERT_TRUE(waitUntil([&] { return worker.reported.load(); })) << "the worker never got past join()";
        ASSERT_TRUE(worker.threw) << "join() from the worker returned instead of throwing (attempt " << attempt << ")";
        EXPECT_EQ(worker.code, std::errc::resource_deadlock_would_occur) << worker.code.message();
        // The refused join left the worker in place for its owner to join.
        EXPECT_NO_THROW(worker.join());
    }
}

TEST(ThreadTest, StopFlagAndNotifyEndWaitingWorker)
{
    // The scanner's shape: run() sleeps on the condition variable between commands; the
    // destructor sets the stop flag under the mutex, notifies and joins.
    class CommandLoop final : public Thread {
    public:
        ~CommandLoop() override
        {
            {
                MutexLock lock(mutex);
                stopping = true;
            }
            wake.notifyOne();
            join();
        }
        void post()
        {
            MutexLock lock(mutex);
            ++pending;
            wake.notifyOne();
        }
        bool idleAfter(int count)
        {
            MutexLock lock(mutex);
            return sleeping && handled == count;
        }

    protected:
        void run() override
        {
            MutexLock lock(mutex);
            for (;;) {
                while (!stopping && pending == 0) {
                    sleeping = true;
                    wake.wait(mutex);
                    sleeping = false;
                }
                if (stopping)
                    return;
                --pending;
                ++handled;
            }
        }

    private:
        Mutex mutex;
        ConditionVariable wake;
        bool stopping = false;
        bool sleeping = false;
        int pending = 0;
        int handled = 0;
    };

    auto loop = makeUnique<CommandLoop>();
    loop->start();
    loop->post();
    loop->post();
    ASSERT_TRUE(waitUntil([&] { return loop->idleAfter(2); })) << "the worker did not handle both commands";

    EXPECT_TRUE(finishesWithin([loop = std::move(loop)]() mutable { loop = nullptr; }))
        << "the destructor did not end a worker waiting on the condition variable";
}

TEST(ConditionVariableTest, HandoffLosesAndDuplicatesNothing)
{
    constexpr int ITEMS = 20000;
    constexpr size_t CAPACITY = 4; // small, so both sides block often
    Mutex mutex;
    ConditionVariable notEmpty, notFull;
    std::deque<int> queue;
    std::vector<int> received;
    bool stopping = false;
    // Threads that believe they hold `mutex`; more than one means wait() returned without it.
    std::atomic<int> holders { 0 };
    std::atomic<int> overlaps { 0 };
    auto enter = [&] {
        if (++holders != 1)
            ++overlaps;
    };
    auto waitOn = [&](ConditionVariable& condition) {
        --holders;
        condition.wait(mutex);
        enter();
    };
    auto stop = [&] {
        MutexLock lock(mutex);
        stopping = true;
        notEmpty.notifyAll();
        notFull.notifyAll();
    };

    Worker producer(
        [&] {
            for (int item = 1; item <= ITEMS; ++item) {
                MutexLock lock(mutex);
                enter();
                while (!stopping && queue.size() == CAPACITY)
                    waitOn(notFull);
                if (!stopping)
                    queue.push_back(item);
                --holders;
                notEmpty.notifyOne();
            }
        },
        stop);
    Worker consumer(
        [&] {
            MutexLock lock(mutex);
            enter();
            while (received.size() < size_t(ITEMS)) {
                while (!stopping && queue.empty())
                    waitOn(notEmpty);
                if (stopping)
                    break;
                received.push_back(queue.front());
                queue.pop_front();
                notFull.notifyOne();
            }
            --holders;
        },
        stop);
    producer.start();
    consumer.start();

    const bool done = waitUntil([&] {
        MutexLock lock(mutex);
        return received.size() == size_t(ITEMS);
    });
    MutexLock lock(mutex);
    ASSERT_TRUE(done) << "only " << received.size() << " of " << ITEMS << " items arrived";
    std::vector<int> expected(ITEMS);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(received, expected);
    EXPECT_EQ(overlaps, 0);
}

TEST(ConditionVariableTest, NotifyAllWakesEveryWaiter)
{
    constexpr int WAITERS = 3;
    Mutex mutex;
    ConditionVariable condition;
    bool go = false;
    bool stopping = false;
    int waiting = 0;
    int woken = 0;
    auto body = [&] {
        MutexLock lock(mutex);
        ++waiting;
        while (!go && !stopping)
            condition.wait(mutex);
        ++woken;
    };
    auto stop = [&] {
        MutexLock lock(mutex);
        stopping = true;
        condition.notifyAll();
    };
    std::vector<std::unique_ptr<Worker>> waiters;
    for (int i = 0; i < WAITERS; ++i) {
        waiters.push_back(std::make_unique<Worker>(body, stop));
        waiters.back()->start();
    }
    auto count = [&](const int& value) {
        MutexLock lock(mutex);
        return value;
    };
    // A waiter counted under the mutex has released it only inside wait(), so all are blocked.
    ASSERT_TRUE(waitUntil([&] { return count(waiting) == WAITERS; })) << "the waiters never started";

    {
        MutexLock lock(mutex);
        go = true;
    }
    condition.notifyAll();
    EXPECT_TRUE(waitUntil([&] { return count(woken) == WAITERS; }))
        << count(woken) << " of " << WAITERS << " waiters woke from one notifyAll()";
}

TEST(AtomicTest, StoreReturnsAndKeepsTheFullValue)
{
    Atomic<int32_t> state;
    EXPECT_EQ(state.load(), 0);
    EXPECT_EQ(state.store(-3), -3);
    EXPECT_EQ(state.store(INT32_MIN), INT32_MIN);
    EXPECT_EQ(state.load(), INT32_MIN);

    const uint64_t beyond32Bits = (uint64_t(1) << 40) | 5;
    Atomic<uint64_t> bytes(7);
    EXPECT_EQ(bytes.store(beyond32Bits), beyond32Bits);
    EXPECT_EQ(bytes.load(), beyond32Bits);

    int node = 0;
    Atomic<uintptr_t> slot;
    EXPECT_EQ(slot.load(), uintptr_t(0));
    EXPECT_EQ(slot.store(reinterpret_cast<uintptr_t>(&node)), reinterpret_cast<uintptr_t>(&node));
    EXPECT_EQ(reinterpret_cast<int*>(slot.load()), &node);
}

TEST(AtomicTest, IncrementAndAddReturnTheNewValue)
{
    Atomic<uint64_t> bytes(0xFFFFFFFF);
    EXPECT_EQ(bytes.increment(), uint64_t(0x100000000));
    EXPECT_EQ(bytes.add(uint64_t(1) << 33), uint64_t(0x300000000));
    EXPECT_EQ(bytes.add(0), uint64_t(0x300000000));
    EXPECT_EQ(bytes.load(), uint64_t(0x300000000));

    Atomic<uintptr_t> counter;
    EXPECT_EQ(counter.increment(), uintptr_t(1));
    EXPECT_EQ(counter.add(41), uintptr_t(42));
}

TEST(AtomicTest, ConcurrentAddsLoseNothing)
{
    constexpr int STEPS = 100000;
    Atomic<uint64_t> counter;
    // Every returned value is the one this update produced, so across both threads each of
    // 1 … 2·STEPS comes back exactly once.
    std::vector<uint64_t> seenByIncrement, seenByAdd;
    std::atomic<int> done { 0 };
    Worker incrementer([&] {
        for (int i = 0; i < STEPS; ++i)
            seenByIncrement.push_back(counter.increment());
        ++done;
    });
    Worker adder([&] {
        for (int i = 0; i < STEPS; ++i)
            seenByAdd.push_back(counter.add(1));
        ++done;
    });
    incrementer.start();
    adder.start();
    ASSERT_TRUE(waitUntil([&] { return done == 2; })) << "the adding threads did not finish";
    incrementer.join();
    adder.join();

    EXPECT_EQ(counter.load(), uint64_t(2 * STEPS));
    std::vector<uint64_t> seen = seenByIncrement;
    seen.insert(seen.end(), seenByAdd.begin(), seenByAdd.end());
    std::sort(seen.begin(), seen.end());
    std::vector<uint64_t> expected(2 * STEPS);
    std::iota(expected.begin(), expected.end(), uint64_t(1));
    EXPECT_TRUE(seen == expected) << "an update's return value was lost or repeated";
}
