#include "scan/ReadAheadQueue.h"

#include <algorithm>
#include <thread>

namespace {

constexpr size_t readAheadBytes = 8 << 20; // listings read but not yet walked
constexpr size_t consumerBatch = 64;       // ready listings that justify waking a waiting walk

} // namespace

class ReadAheadQueue::Helper final : public orvex::Thread {
public:
    Helper(ReadAheadQueue& queue, size_t bufferSize) : queue(queue), buffer(bufferSize) {}
    ~Helper() override { join(); }
    using orvex::Thread::start;

protected:
    void run() override
    {
        DirectoryLister::lowerCallingThreadPriority();
        queue.helperLoop(buffer.data());
    }

private:
    ReadAheadQueue& queue;
    std::vector<char> buffer;
};

ReadAheadQueue::ReadAheadQueue(Reader& reader, Listing& root, size_t bufferSize)
    : reader(reader), consumerBuffer(bufferSize)
{
    pending.insert(&root);
    const unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    if (cores > 1) {
        for (unsigned i = 0; i < cores; ++i)
            helpers.push_back(std::make_unique<Helper>(*this, bufferSize));
        for (auto& helper : helpers)
            helper->start();
    }
}

ReadAheadQueue::~ReadAheadQueue()
{
    {
        orvex::MutexLock lock(mutex);
        stopping = true;
        helperWake.notifyAll();
    }
    helpers.clear(); // joins
}

ReadAheadQueue::Listing* ReadAheadQueue::take(Listing* listing)
{
    orvex::MutexLock lock(mutex);
    while (listing->state != Listing::State::DONE) {
        if (listing->state == Listing::State::PENDING) {
            pending.erase(listing);
            listing->state = Listing::State::CLAIMED;
            mutex.unlock();
            reader.read(*listing, consumerBuffer.data(), false);
            mutex.lock();
            publish(*listing);
            break;
        }
        waitingFor = listing;
        consumerWake.wait(mutex);
    }
    waitingFor = nullptr;
    readyBytes -= listing->bytes;
    readyCount -= 1;
    return listing;
}

void ReadAheadQueue::stopReadingAhead()
{
    orvex::MutexLock lock(mutex);
    readAheadStopped = true;
    while (helpersReading > 0)
        consumerWake.wait(mutex);
}

bool ReadAheadQueue::helpersMustWait() const
{
    return readAheadStopped || pending.size() < 2 || readyBytes >= readAheadBytes || reader.budgetSpent();
}

void ReadAheadQueue::helperLoop(char* buffer)
{
    orvex::MutexLock lock(mutex);
    while (true) {
        while (!stopping && helpersMustWait()) {
            idleHelpers += 1;
            wakeConsumerIfWorthIt();
            helperWake.wait(mutex);
            idleHelpers -= 1;
        }
        if (stopping)
            return;
        Listing* listing = *pending.begin();
        pending.erase(pending.begin());
        listing->state = Listing::State::CLAIMED;
        helpersReading += 1;
        mutex.unlock();
        const bool done = reader.read(*listing, buffer, true);
        mutex.lock();
        helpersReading -= 1;
        if (done) {
            publish(*listing);
        } else {
            // Give the directory back for the walk to read itself, and read ahead no more.
            listing->state = Listing::State::PENDING;
            pending.insert(listing);
            readAheadStopped = true;
            if (waitingFor == listing)
                consumerWake.notifyOne();
        }
        if (readAheadStopped && helpersReading == 0)
            consumerWake.notifyAll(); // the walk may be waiting in stopReadingAhead
    }
}

// Under the mutex: the listing is complete; its subdirectories become readable.
void ReadAheadQueue::publish(Listing& listing)
{
    listing.state = Listing::State::DONE;
    listing.bytes = listing.memory();
    readyBytes += listing.bytes;
    readyCount += 1;
    for (auto& sub : listing.subdirectories)
        pending.insert(sub.get());
    // A lone pending directory is the one the walk needs next (a chain of directories): the walk
    // reads it itself sooner than a woken helper could hand it over.
    if (idleHelpers && !listing.subdirectories.empty() && pending.size() >= 2)
        helperWake.notifyAll();
    wakeConsumerIfWorthIt();
}

// Waking the walk for every listing would cost a context switch per directory; it is woken once
// the listing it needs is ready and either a batch has piled up or reading ahead has stalled.
void ReadAheadQueue::wakeConsumerIfWorthIt()
{
    if (!waitingFor || waitingFor->state != Listing::State::DONE)
        return;
    if (readyCount >= consumerBatch || pending.empty() || idleHelpers > 0 || readyBytes * 2 >= readAheadBytes
        || reader.budgetSpent())
        consumerWake.notifyOne();
}
