// Trash: moving a file or folder the chart shows into the desktop's trash (the Recycle Bin on
// Windows), and checking first that it is still what the scan saw. Nothing here deletes anything
// for good: what no trash can take stays where it is. Backends: desktop/linux/, desktop/win32/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a chart remembers about an entry, to check it has not changed since the scan.
struct TrashEntry {
    std::string path; // exact bytes as the scanner joined them ('/' on Linux; UTF-8 on Windows)
    bool directory;   // a folder when scanned
    uint64_t size;    // its own bytes as the scanner counted them (folders: not compared)
    // How many bytes at the start of `path` name its scan root, whose links the scan followed;
    // below them no link is followed (PathBelowRoot.h). npos: the final name alone is not.
    size_t rootLength = std::string::npos;
};

// Empty when `entry.path` is still what the chart shows: a folder when `entry.directory`, else
// something that is not a folder whose size is the one scanned, counted as the scanner counts it
// (a regular file: its length; a symbolic link, FIFO, socket or device: 0 bytes). Otherwise a
// short sentence saying what changed: "it no longer exists", "it is now a folder", "it is no
// longer a folder", "its size changed from 1,234 bytes to 99 bytes", and for a link met below
// the scan root "it is now a symbolic link" or "its folder /x/docs is now a symbolic link" (the
// path's raw bytes). Never follows a final symbolic link. Any thread.
std::string entryChange(const TrashEntry& entry);

struct TrashResult {
    enum class Outcome {
        MOVED,   // the item is in the trash
        REFUSED, // nothing changed
        PARTIAL, // part of a folder moved before a failure: the folder must be scanned again
    };
    Outcome outcome;
    std::string message; // empty when MOVED; else why, in one short sentence for a status line
};

// Moves the entry at `path` into the desktop's trash. Where no trash can take it (a volume without
// one, no permission, the item gone, a read-only volume) the result is REFUSED with the reason and
// nothing changes; it is never deleted instead. Blocks, for long on Windows with a large folder.
// Any thread.
TrashResult moveToTrash(std::string_view path);

// moveToTrash for an entry the chart shows: refused, with entryChange's sentence, when a link
// below its scan root now stands on its path (checked on the calling thread just before the
// move). Any thread.
TrashResult moveEntryToTrash(const TrashEntry& entry);
