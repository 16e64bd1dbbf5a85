// FontCache: the native fonts in use, one entry per FontDescription with a reference count. A font is
// made when its count goes from 0 to 1 and deleted (with its entry) when the count returns to 0,
// so text objects of one size and weight share one font. Owns the font engine. Window thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "gui/text/FontEngine.h"
#include "gui/text/FontDescription.h"

#include <map>

namespace orvex::gui {

class FontCache {
public:
    struct Entry {
        FontDescription spec;
        int references = 0;
        UniquePtr<Font> font; // null when the engine could not make it
    };

    explicit FontCache(UniquePtr<FontEngine> engine);
    // Every entry must have been released: text objects go before the cache.
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // The entry for `spec`, its count raised; never null (its font may be).
    Entry* acquire(const FontDescription& spec);
    // Lowers the count; at 0 the font and the entry go. Null is ignored.
    void release(Entry* entry);

    size_t size() const { return entries.size(); }
    FontEngine& engine() const { return *fontEngine; }

private:
    UniquePtr<FontEngine> fontEngine; // declared first: fonts are deleted before their engine
    std::map<FontDescription, Entry> entries; // map nodes never move, so entry pointers stay valid
};

} // namespace orvex::gui
