// FileByteSource: the bytes of an open file descriptor, read straight into the caller's buffer.
// It can look at the first bytes before anyone reads them, which is how openScanFile tells a
// compressed file from a plain one without seeking (so pipes work too).
#pragma once

#include "scanfile/ByteSource.h"

#include <string>

class FileByteSource final : public ByteSource {
public:
    // Takes ownership of `descriptor` and closes it on destruction; `shownPath` is for messages.
    FileByteSource(int descriptor, std::string shownPath);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    // Opens `path` for reading. Null with "cannot open PATH: reason" in `error`.
    static orvex::UniquePtr<FileByteSource> open(const std::string& path, std::string& error);

    size_t read(char* buffer, size_t capacity) override;
    // Reads ahead until `count` bytes are held (fewer at the end of the file) and returns them;
    // read() hands them out again first.
    const std::string& peek(size_t count);

private:
    size_t readDescriptor(char* buffer, size_t capacity);

    int descriptor;
    std::string shownPath;
    std::string pending;      // bytes read ahead by peek(), not yet handed out
    size_t pendingOffset = 0; // how many of them read() has handed out
};
