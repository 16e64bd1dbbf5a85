// The start path's check on Windows: its attributes, and for a directory a first listing of it
// (FindFirstFileExW over DIR\*), which is what fails for a folder the user may not read. An empty
// listing (a drive's empty root has not even "." and "..") is readable.
#include "app/StartPath.h"

#include "engine/core/win32/WideText.h"

#include <windows.h>

std::string startPathProblem(const std::string& path)
{
    const std::wstring wide = orvex::toWidePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return orvex::systemErrorText(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return "it is neither a directory nor a file";
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    std::string pattern = path;
    if (pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW entry {};
    const HANDLE listing = FindFirstFileExW(orvex::toWidePath(pattern).c_str(), FindExInfoBasic, &entry,
                                            FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? std::string() : orvex::systemErrorText(error);
    }
    FindClose(listing);
    return {};
}

bool pathExists(const std::string& path)
{
    return GetFileAttributesW(orvex::toExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
