// GlyphWarmer: draws the glyphs of the characters past ASCII that a scan meets, on a thread of its
// own while the scan runs, so that the chart built at its end finds them drawn (the glyph page
// keeps drawn glyphs for the process) and its page costs a copy instead of the fields. It takes at
// most 1,024 characters a process, the glyph cache's size; which of them a chart uses is the
// chart's choice (the most bytes first), made when it is built.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

class GlyphWarmer {
public:
    GlyphWarmer();  // starts the thread, which sleeps until characters come
    ~GlyphWarmer(); // stops it once the batch it is drawing is done
    GlyphWarmer(const GlyphWarmer&) = delete;
    GlyphWarmer& operator=(const GlyphWarmer&) = delete;

    // The characters of `name` not seen before go to the thread. One thread at a time (the
    // scanner's worker); an ASCII name costs a look at its bytes.
    void offer(std::string_view name);
    // Characters handed to the thread so far (for tests and benchmarks).
    size_t offered() const { return seen.size(); }
    // Blocks until every character offered so far is drawn (for tests and benchmarks).
    void waitUntilDrawn();

    static constexpr size_t LIMIT = 1024;

private:
    void run();

    std::unordered_set<char32_t> seen; // the offering thread's own
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable drawn;
    std::vector<char32_t> pending;
    size_t inFlight = 0;
    bool stopping = false;
    std::thread thread;
};
