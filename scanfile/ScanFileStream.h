// ScanFileStream: writes the JSON export while a scan runs, as the sink of a FileSizeMapper: the
// same bytes ScanFileWriter writes for the tree that scan would have built, holding nothing but
// its output buffer, so a scan of any size exports in bounded memory. The export's order is the
// walk's pre-order, so each entry is written as soon as it is found; directories carry no size
// in the format, so nothing waits for a directory to complete.
#pragma once

#include "scan/ScanSink.h"
#include "scanfile/ExportBuffer.h"

#include <cstdint>
#include <string>

class ByteSink;

class ScanFileStream final : public ScanSink {
public:
    // `programVersion` goes into the metadata's "progver", `timestamp` (seconds since 1970) into
    // its "timestamp". `sink` must outlive the stream; nothing reaches it before the first
    // megabyte of output or finish(), so a scan abandoned early (its root could not be read) has
    // written nothing.
    ScanFileStream(const std::string& programVersion, uint64_t timestamp, ByteSink& sink);

    // Scanner's worker thread, in walk order. False once a write failed.
    bool directoryEntered(std::string_view name, bool unlisted) override;
    bool fileFound(std::string_view name, uint64_t size, bool unreadable) override;
    bool directoryLeft(uint64_t size) override;

    // After the scan has finished (the root left): ends the export and finishes the sink. False
    // with the reason in error() when any write failed, now or during the scan.
    bool finish();
    // Why a write failed (the sink's reason), else empty. Read it after the scan.
    std::string error() const;
    // Whether any of the export has reached the sink, which a stream that cannot be taken back
    // (standard output) then holds in part. Read it after the scan.
    bool started() const { return out.handedOver(); }

private:
    ByteSink& sink;
    ExportBuffer out;
    uint64_t openDirectories = 0;
};
