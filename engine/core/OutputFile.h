// OutputFile: writes a file so that its target changes only when the whole file was written. The
// data goes to a new temporary file beside the target, which commit() flushes to disk and renames
// over it; any failure, or destruction without commit, removes only that temporary file. The
// target itself is never opened, truncated or removed. Backends: posix/OutputFilePosix.cpp,
// win32/OutputFileWin32.cpp.
#pragma once

#include <cstdio>
#include <string>

namespace orvex {

class OutputFile {
public:
    OutputFile() = default;
    // Discards the temporary file unless commit() succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Whether `path` may be written, without touching anything: it must be absent or a regular
    // file we may write (a symbolic link counts as the file it finally names), and its folder
    // must let us create a file. False with "cannot write PATH: reason" (or "cannot create ...")
    // in `error`. Lets a tool refuse its output before long work; open() checks again. Any thread.
    static bool checkWritable(const std::string& path, std::string& error);

    // Creates the temporary file beside `path` (beside the file a symbolic link names, so that the
    // link is kept). False with the reason in `error`. Call once.
    bool open(const std::string& path, std::string& error);
    // The temporary file, for stdio writers such as libpng; null before open() and after
    // commit() or discard(). Do not close it.
    std::FILE* stream() const { return file; }
    // The system's text for the first write through stream() that failed, or empty. stdio itself
    // only says that some write failed.
    std::string writeFailure() const;
    // Where the temporary file is, empty when none exists: a tool that lists the folder it writes
    // into (a scan of the current directory) leaves it out.
    const std::string& temporaryPath() const { return temporary; }

    // Flushes and syncs the data, gives the file the mode of the file it replaces (or of a new
    // file) and renames it over the target. False with the system's reason (for a full disk "No
    // space left on device") in `error`; then the target is as it was and the temporary file gone.
    bool commit(std::string& error);
    // Closes and removes the temporary file; the target stays as it was.
    void discard();

private:
    // What the stream's write function needs; the stream holds its address, so OutputFile is
    // neither copied nor moved.
    struct Sink {
        int descriptor = -1;
        int firstError = 0; // errno of the first failed write, 0 while all succeeded
    };

    std::string shownPath;  // `path` as given, for messages
    std::string target;     // the file to replace: `path`, or the file its symbolic link names
    std::string temporary;  // ".NAME.XXXXXX" beside `target`; empty when none exists
    std::FILE* file = nullptr;
    Sink sink;
};

} // namespace orvex
