// FileManagerBus: the file manager's D-Bus interface (org.freedesktop.FileManager1 on the session
// bus) and the path-to-text helpers the Linux desktop calls share. Paths are byte strings: nothing
// here assumes UTF-8, and a URI built from a path is plain ASCII whatever bytes the name holds.
#pragma once

#include <string>
#include <string_view>

// "file://" + the absolute form of `path` (relative paths are taken against the working
// directory) with every byte outside A-Z a-z 0-9 - . _ ~ and the "/" separators percent-encoded
// (%XX, upper case). Empty when the path is empty, holds a NUL byte, or the working directory is
// unknown.
std::string fileUriFromPath(std::string_view path);

// The directory that holds `path`: trailing slashes are ignored, "/" for a top-level entry and for
// "/" itself, "." for a bare relative name.
std::string parentDirectory(std::string_view path);

// Calls ShowItems([uri], "") on the session bus's org.freedesktop.FileManager1 and waits up to
// timeoutMs for its answer. True when the file manager answered without an error; otherwise false
// with the bus's error text in *error. Main thread.
bool showItemsOverSessionBus(const std::string& uri, int timeoutMs = 5000, std::string* error = nullptr);
