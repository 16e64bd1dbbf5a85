// ScanFileStream: each call appends what ScanFileWriter's walk appends at the same node: a new
// line before every entry but the root, "[" and the info object for a directory, "]" when it ends.
#include "scanfile/ScanFileStream.h"

#include "scanfile/ByteSink.h"

ScanFileStream::ScanFileStream(const std::string& programVersion, uint64_t timestamp, ByteSink& sink)
    : sink(sink)
    , out(sink)
{
    out.appendHeader(programVersion, timestamp);
}

bool ScanFileStream::directoryEntered(std::string_view name, bool unlisted)
{
    if (openDirectories > 0)
        out.append(",\n");
    out.append("[");
    out.appendInfo(name, 0, false, unlisted);
    openDirectories += 1;
    return out.ok();
}

bool ScanFileStream::fileFound(std::string_view name, uint64_t size, bool unreadable)
{
    if (openDirectories > 0)
        out.append(",\n");
    out.appendInfo(name, size, true, unreadable);
    return out.ok();
}

bool ScanFileStream::directoryLeft(uint64_t)
{
    out.append("]");
    openDirectories -= 1;
    return out.ok();
}

bool ScanFileStream::finish()
{
    out.append("]\n");
    out.flush();
    return out.ok() && sink.finish();
}

std::string ScanFileStream::error() const
{
    if (out.ok() && sink.error().empty())
        return "";
    return sink.error().empty() ? "cannot write the scan file" : sink.error();
}
