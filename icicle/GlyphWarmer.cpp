// GlyphWarmer: new characters are queued under the mutex and drawn in batches of a page.
#include "icicle/GlyphWarmer.h"

#include "icicle/LabelText.h"
#include "icicle/glyphs/GlyphPage.h"

GlyphWarmer::GlyphWarmer() : thread([this] { run(); }) {}

GlyphWarmer::~GlyphWarmer()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void GlyphWarmer::offer(std::string_view name)
{
    if (LabelText::isAscii(name) || seen.size() >= LIMIT)
        return;
    std::vector<char32_t> fresh;
    for (size_t at = 0; at < name.size();) {
        const char32_t character = LabelText::nextCharacter(name, at);
        if (character >= 0xA0 && character != LabelText::illFormed && character != 0xFFFD && seen.size() < LIMIT
            && seen.insert(character).second)
            fresh.push_back(character);
    }
    if (fresh.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.insert(pending.end(), fresh.begin(), fresh.end());
    }
    wake.notify_one();
}

void GlyphWarmer::waitUntilDrawn()
{
    std::unique_lock<std::mutex> lock(mutex);
    drawn.wait(lock, [this] { return (pending.empty() && inFlight == 0) || stopping; });
}

void GlyphWarmer::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !pending.empty(); });
        if (stopping)
            break;
        const size_t count = std::min<size_t>(pending.size(), LabelText::pageCapacity);
        std::vector<char32_t> batch(pending.begin(), pending.begin() + ptrdiff_t(count));
        pending.erase(pending.begin(), pending.begin() + ptrdiff_t(count));
        inFlight = count;
        lock.unlock();
        // Drawn into the glyph cache; the page itself is not needed.
        (void)orvex::buildGlyphPage(batch);
        lock.lock();
        inFlight = 0;
        if (pending.empty())
            drawn.notify_all();
    }
    drawn.notify_all();
}
