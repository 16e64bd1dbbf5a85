// Links below a scan root on Windows: each name's own entry is read with FindFirstFileW, which
// gives a reparse point's tag without following it. Symbolic links (the native kind and the Linux
// subsystem's) are what the walk leaves out; junctions it walks, so they pass here too.
#include "scan/PathBelowRoot.h"

#include "engine/core/win32/WideText.h"

#include <windows.h>

namespace {

constexpr DWORD reparseTagLinuxSymlink = 0xA000001D;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Whether the entry `prefix` names is itself a symbolic link (false when it cannot be read).
bool isLink(std::string_view prefix)
{
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW(orvex::toExtendedPath(prefix).c_str(), &data);
    if (found == INVALID_HANDLE_VALUE)
        return false;
    FindClose(found);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        && (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == reparseTagLinuxSymlink);
}

} // namespace

size_t linkBelowRoot(std::string_view path, size_t rootLength)
{
    if (rootLength >= path.size() || path.find('\0') != std::string_view::npos)
        return 0;
    for (size_t start = rootLength; start < path.size();) {
        while (start < path.size() && isSeparator(path[start]))
            start += 1;
        size_t end = start;
        while (end < path.size() && !isSeparator(path[end]))
            end += 1;
        if (end > start && isLink(path.substr(0, end)))
            return end;
        start = end;
    }
    return 0;
}
