// The platform-independent members of DirectoryLister; the rest is in linux/ and win32/.
#include "scan/DirectoryLister.h"

#include "scan/ListingTree.h"

int DirectoryLister::error(const Listing* listing) { return listing->error; }

size_t DirectoryLister::entryCount(const Listing* listing) { return listing->entries.size(); }

DirectoryLister::Entry DirectoryLister::entry(const Listing* listing, size_t index)
{
    const RawEntry& raw = listing->entries[index];
    return { std::string_view(listing->names.data() + raw.nameOffset, raw.nameLength), raw.directory, raw.size };
}
