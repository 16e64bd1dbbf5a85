// EntryState: what is at a path now, counted as the scanner counts it, and the sentence that tells
// how it differs from a TrashEntry. The backends read the state (lstat, GetFileAttributesExW); the
// comparison and its wording are shared, so both platforms say the same thing.
#pragma once

#include "app/desktop/Trash.h"

#include <cstdint>
#include <string>
#include <string_view>

struct EntryState {
    enum class Kind {
        MISSING,    // nothing at the path
        DIRECTORY,  // a folder
        OTHER,      // anything else: `size` holds what the scanner would count
        UNREADABLE, // the system would not say: `problem` holds its reason
    };
    Kind kind;
    uint64_t size = 0;
    std::string problem;
};

// The state of `path` itself (a final symbolic link is not followed). Backend; any thread.
EntryState entryStateAt(std::string_view path);

// entryChange's sentence for `entry` against `now`; empty when they agree.
std::string describeEntryChange(const TrashEntry& entry, const EntryState& now);

// "1 byte", "0 bytes", "1,234,567 bytes".
std::string exactByteCount(uint64_t bytes);
