// The platform seam of reading a scan file: opening it by its UTF-8 path, reading and closing a
// descriptor, and telling a regular file. Backends: posix/ReadableFilePosix.cpp,
// win32/ReadableFileWin32.cpp (wide paths, so any name opens).
#pragma once

#include <cstddef>
#include <string>

namespace readable_file {

// A descriptor for reading `path`, or -1 with "cannot open PATH: reason" in `error`.
int open(const std::string& path, std::string& error);
// Up to `capacity` bytes; 0 at the end; -1 with the system's reason in `error` (interruptions are
// retried).
long read(int descriptor, char* buffer, size_t capacity, std::string& error);
void close(int descriptor);
// A descriptor of its own for the process's standard input (a pipe, a terminal or a file; binary
// on Windows), so that closing it leaves standard input open; -1 with the reason in `error`,
// closedStandardInput when the program was started without one.
int openStandardInput(std::string& error);
inline constexpr const char* closedStandardInput =
    "cannot open standard input: it was closed when the program started, so there is nothing to read";
// Whether `path` names a regular file (links followed).
bool isRegularFile(const std::string& path);

} // namespace readable_file
