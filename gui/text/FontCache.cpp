// FontCache: reference-counted native fonts keyed by FontDescription.
#include "gui/text/FontCache.h"

#include <cassert>

namespace orvex::gui {

FontCache::FontCache(UniquePtr<FontEngine> engine) : fontEngine(std::move(engine))
{
    assert(fontEngine && "FontCache: needs a font engine (createFontEngine())");
}

FontCache::~FontCache()
{
    assert(entries.empty() && "FontCache: destroy every native text object before the font cache");
}

FontCache::Entry* FontCache::acquire(const FontDescription& spec)
{
    auto [at, added] = entries.try_emplace(spec);
    Entry& entry = at->second;
    if (added)
        entry.spec = spec;
    if (entry.references++ == 0)
        entry.font = fontEngine->createFont(spec);
    return &entry;
}

void FontCache::release(Entry* entry)
{
    if (!entry)
        return;
    assert(entry->references > 0 && "FontCache::release: more releases than acquires");
    if (--entry->references > 0)
        return;
    const FontDescription key = entry->spec; // the entry's own spec dies with it
    entries.erase(key);
}

} // namespace orvex::gui
