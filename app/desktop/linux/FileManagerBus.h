// FileManagerBus: the file manager's D-Bus interface (org.freedesktop.FileManager1 on the session
// bus) and the path-to-text helpers the Linux desktop calls share. Paths are byte strings: nothing
// here assumes UTF-8, and a URI built from a path is plain ASCII whatever bytes the name holds.
#pragma once

#include <string>
#include <string_view>

struct DBusConnection;
struct DBusError;

// A private connection to the session bus named by DBUS_SESSION_BUS_ADDRESS as it is now (libdbus
// would keep the first value it read), registered, with exit-on-disconnect off; null with the
// reason in busError. The caller closes and unrefs it. Any thread.
DBusConnection* openSessionBus(DBusError& busError);

// "file://" + the absolute form of `path` (relative paths are taken against the working
// directory) with every byte outside A-Z a-z 0-9 - . _ ~ and the "/" separators percent-encoded
// (%XX, upper case). Empty when the path is empty, holds a NUL byte, or the working directory is
// unknown.
std::string fileUriFromPath(std::string_view path);

// The directory that holds `path`: trailing slashes are ignored, "/" for a top-level entry and for
// "/" itself, "." for a bare relative name.
std::string parentDirectory(std::string_view path);

enum class ShowItemsOutcome {
    SHOWN,     // the file manager answered without an error
    FAILED,    // a definite failure: no session bus, nobody owns the name, an error reply
    NO_ANSWER, // no answer within the time: a slow file manager may still show the items
};

// Calls ShowItems([uri], "") on the session bus's org.freedesktop.FileManager1 and waits up to
// timeoutMs for its answer; the bus's error text goes to *error. Blocks: any thread but the main one.
ShowItemsOutcome showItemsOverSessionBus(const std::string& uri, int timeoutMs = 25000, std::string* error = nullptr);

// revealInFileManager with its own limit on the wait: returns at once; a thread of its own calls
// ShowItems and opens the parent folder (xdg-open) only after a definite failure, never after
// timeoutMs without an answer, so a slow file manager does not end up with a second window.
void revealInBackground(std::string_view path, int timeoutMs);

// The same in the calling thread: returns once ShowItems has answered, failed or timed out, and
// any fallback has been started. Any thread but the main one.
void revealAndWait(std::string_view path, int timeoutMs);
