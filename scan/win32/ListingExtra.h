// The Windows lister's own state of a listing (see scan/ListingTree.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <windows.h>

// Where a directory lives: the same pair means the same directory, whatever path reached it.
struct Identity {
    DWORD volume = 0;
    uint64_t index = 0;
    bool operator==(const Identity&) const = default;
};

struct ListingExtra {
    std::wstring path;                // extended-length; kept until released for the cycle check
    bool throughReparsePoint = false; // a junction or another reparse point led here
    bool identityKnown = false;       // `identity` was read (under the lister's identity mutex)
    Identity identity;

    size_t memory() const { return path.capacity() * sizeof(wchar_t); }
};
