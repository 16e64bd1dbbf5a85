// The platform-independent half of entryChange: comparing what the scan saw with what is there now
// and saying how they differ, with exact byte counts so that any change of size shows.
#include "app/desktop/EntryState.h"

#include "scan/PathBelowRoot.h"

namespace {

// The sentence for a link met `linkEnd` bytes into the entry's path: the entry itself, or one of
// the folders on its way, which the scan saw as a real folder.
std::string linkSentence(const TrashEntry& entry, size_t linkEnd)
{
    const std::string_view path(entry.path);
    if (path.find_first_not_of("/\\", linkEnd) == std::string_view::npos)
        return "it is now a symbolic link";
    return "its folder " + std::string(path.substr(0, linkEnd)) + " is now a symbolic link";
}

} // namespace

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
    if (const size_t linkEnd = linkBelowRoot(entry.path, entry.rootLength))
        return linkSentence(entry, linkEnd);
    return describeEntryChange(entry, entryStateAt(entry.path));
}

TrashResult moveEntryToTrash(const TrashEntry& entry)
{
    // The trash moves by path, so the way to the entry is checked once more right before: what
    // was swapped for a link since the confirmation is refused, not reached through it.
    if (const size_t linkEnd = linkBelowRoot(entry.path, entry.rootLength))
        return { TrashResult::Outcome::REFUSED, linkSentence(entry, linkEnd) };
    return moveToTrash(entry.path);
}
