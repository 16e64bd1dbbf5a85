// ByteSink: where the scan-file writer's bytes go, compressed or not, and sinkForPath, which
// picks the compression a file name asks for. Sinks write to a std::FILE* they do not own,
// normally orvex::OutputFile's stream(), so that a failed run leaves no half-written file.
#pragma once

#include "engine/core/UniquePtr.h"

#include <cstddef>
#include <cstdio>
#include <string>

class ByteSink {
public:
    virtual ~ByteSink() = default;

    // False once any write failed; error() says why. Later writes do nothing.
    virtual bool write(const char* bytes, size_t count) = 0;
    // Ends the stream (a compressor's last block and trailer) and flushes the stream. Call once,
    // after the last write; false with error() set when anything failed.
    virtual bool finish() = 0;
    const std::string& error() const { return failure; }

protected:
    bool fail(std::string text)
    {
        if (failure.empty())
            failure = std::move(text);
        return false;
    }
    // Writes all of `bytes` to `stream`, failing with the system's reason.
    bool put(std::FILE* stream, const void* bytes, size_t count);

private:
    std::string failure;
};

// A sink for the file `path` will become: gzip for a name ending in ".gz", Zstandard for ".zst",
// else the bytes as they are. Writes to `stream`, which must outlive the sink.
orvex::UniquePtr<ByteSink> sinkForPath(const std::string& path, std::FILE* stream);
