// Reaching an entry that a scan found the way its walk reached it: the scan root's own path is
// taken as the user gave it (links and all), but below it no symbolic link is followed, since the
// walk never followed one there. A folder swapped for a link since the scan is thereby no longer
// that folder, and nothing through it (outside the tree, or elsewhere in it) stands for what the
// chart shows. Backends: scan/linux/, scan/win32/. Any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The first symbolic link met on `path` below its first `rootLength` bytes (the scan root's path):
// the length of the prefix of `path` that names it, or 0 when there is none. The final name
// counts too: an entry that is itself a link now is met. A way that ends early (a missing folder,
// a file where a folder was) meets no link; the caller's own check finds what is there instead.
// A `rootLength` of npos, or one that covers the whole path, checks nothing.
size_t linkBelowRoot(std::string_view path, size_t rootLength);
