// The platform-independent members of DirectoryLister; the rest is in linux/ and win32/.
#include "scan/DirectoryLister.h"

#include "scan/ListingTree.h"

static_assert(sizeof(RawEntry) == 16, "a listed entry stays 16 bytes");

int DirectoryLister::error(const Listing* listing) { return listing->error; }

size_t DirectoryLister::entryCount(const Listing* listing) { return listing->entries.size(); }

DirectoryLister::Entry DirectoryLister::entry(const Listing* listing, size_t index)
{
    const RawEntry& raw = listing->entries[index];
    const std::string_view name(listing->names.data() + raw.nameOffset, raw.nameLength);
    if (raw.unreadable)
        return { name, false, 0, int(raw.size) };
    return { name, raw.directory, raw.size, 0 };
}
