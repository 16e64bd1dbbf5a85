// The platform-independent half of entryChange: comparing what the scan saw with what is there now
// and saying how they differ, with exact byte counts so that any change of size shows.
#include "app/desktop/EntryState.h"

std::string exactByteCount(uint64_t bytes)
{
    std::string digits = std::to_string(bytes);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits + (bytes == 1 ? " byte" : " bytes");
}

std::string describeEntryChange(const TrashEntry& entry, const EntryState& now)
{
    switch (now.kind) {
    case EntryState::Kind::MISSING:
        return "it no longer exists";
    case EntryState::Kind::UNREADABLE:
        return "it can no longer be examined (" + now.problem + ")";
    case EntryState::Kind::DIRECTORY:
        return entry.directory ? std::string() : "it is now a folder";
    case EntryState::Kind::OTHER:
        break;
    }
    if (entry.directory)
        return "it is no longer a folder";
    if (now.size != entry.size)
        return "its size changed from " + exactByteCount(entry.size) + " to " + exactByteCount(now.size);
    return {};
}

std::string entryChange(const TrashEntry& entry)
{
    return describeEntryChange(entry, entryStateAt(entry.path));
}
