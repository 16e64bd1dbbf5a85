// ReadAheadQueue: the scheduling a DirectoryLister shares between platforms. Helper threads read
// listings ahead of the walk, always the earliest not-yet-read directory in walk order first,
// within a budget of buffered bytes (and whatever budget the reader adds); the walk claims and
// reads a listing itself when no helper has started it, so nothing can wait on an idle helper.
// The reading itself is the platform's (Reader).
#pragma once

#include "engine/core/Mutex.h"
#include "engine/core/Thread.h"
#include "scan/ListingTree.h"

#include <memory>
#include <set>
#include <vector>

class ReadAheadQueue {
public:
    using Listing = DirectoryLister::Listing;

    class Reader {
    public:
        // Lists `listing`, without the queue's mutex (only this thread touches it until it is
        // published), into `buffer` of the size given to the queue. A helper passes `mayDefer`:
        // then false means it could not read the listing for want of something only the walk can
        // free; the walk reads it later itself and reading ahead stops for good.
        virtual bool read(Listing& listing, char* buffer, bool mayDefer) = 0;
        // Whether the reader's own budget for reading ahead is spent. Any thread.
        virtual bool budgetSpent() const = 0;

    protected:
        ~Reader() = default;
    };

    // `root` is the first listing to read; the helpers start at once (none on a single core).
    ReadAheadQueue(Reader& reader, Listing& root, size_t bufferSize);
    ~ReadAheadQueue(); // stops and joins the helpers
    ReadAheadQueue(const ReadAheadQueue&) = delete;
    ReadAheadQueue& operator=(const ReadAheadQueue&) = delete;

    // Walk only: `listing` read, reading it here when no helper has claimed it.
    Listing* take(Listing* listing);
    // Walk only: waits until no helper is reading and none will start again, so the walk alone
    // touches the reader's resources from then on.
    void stopReadingAhead();

private:
    class Helper;

    void helperLoop(char* buffer);
    bool helpersMustWait() const;
    void publish(Listing& listing);
    void wakeConsumerIfWorthIt();

    Reader& reader;
    std::vector<char> consumerBuffer;
    orvex::Mutex mutex;
    orvex::ConditionVariable helperWake;
    orvex::ConditionVariable consumerWake;
    std::set<Listing*, WalkOrder> pending; // not yet claimed, earliest in walk order first
    Listing* waitingFor = nullptr;
    size_t readyBytes = 0;
    size_t readyCount = 0;
    unsigned idleHelpers = 0;
    unsigned helpersReading = 0;   // helpers between claiming a listing and publishing it
    bool stopping = false;
    bool readAheadStopped = false; // a helper deferred a listing, or the walk stopped reading ahead
    std::vector<std::unique_ptr<Helper>> helpers;
};
