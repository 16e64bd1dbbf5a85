// The Linux side of PathBelowRoot.h: opening an entry found by a scan one name at a time from its
// scan root, each with O_NOFOLLOW, so no link below the root is ever followed, also in a race with
// whoever swaps a folder for a link.
#pragma once

#include <cstddef>
#include <string>

// Opens `path` with `flags` (O_NOFOLLOW and O_CLOEXEC are added), reaching it from the folder
// named by its first `rootLength` bytes (opened as given, links followed) through each folder
// below with O_NOFOLLOW. -1 with errno on failure; a link met on the way gives ELOOP and its
// prefix's length in `linkEnd` (else `linkEnd` is 0). With O_PATH a final link opens as itself.
// A `rootLength` of npos or at least the path's length opens the path as given. Any thread.
int openBelowRoot(const std::string& path, size_t rootLength, int flags, size_t& linkEnd);
