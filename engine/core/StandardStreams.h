// StandardStreams: makes sure the standard descriptors 0, 1 and 2 are open before the program opens
// anything else. A program started with one of them closed would otherwise hand that number to the
// next file it opens (a display connection, a scan file), and "-" or a message would then read or
// write that file. Backends: posix/StandardStreamsPosix.cpp, win32/StandardStreamsWin32.cpp.
#pragma once

namespace orvex {

// Spelled out: windows.h defines ERROR, IN and OUT as macros.
enum class StandardStream { STANDARD_INPUT = 0, STANDARD_OUTPUT = 1, STANDARD_ERROR = 2 };

// Call first thing in main, before any file, thread or connection is opened. Each closed standard
// descriptor is opened on the null device (POSIX), and which ones were closed is remembered.
// Main thread only; calling it again changes nothing.
void openStandardStreams();

// Whether `stream` was closed when openStandardStreams ran: it then reads as empty or swallows
// what is written, and "-" must say so rather than use it. Any thread, after openStandardStreams.
bool standardStreamWasClosed(StandardStream stream);

} // namespace orvex
