#include "scanfile/ScanFileImporter.h"

#include "scan/FileSizeMapper.h"
#include "scanfile/ByteSource.h"
#include "scanfile/ScanFileReader.h"

// By name or magic number as well as by content, so that a damaged export is refused with its
// damage named instead of being mapped as a plain file.
bool ScanFileImporter::recognizes(const std::string& path) { return isScanFile(path); }

TreeImporter::Outcome ScanFileImporter::import(const std::string& path, ScanListener& listener,
                                               const std::function<bool()>& cancelled, ScanProblems& problems,
                                               ImportedScan& origin, TreeFolding& folding)
{
    Outcome outcome;
    const std::string shown = shownScanFileName(path);
    std::string error;
    orvex::UniquePtr<ByteSource> source = openScanFile(path, error);
    if (!source) {
        // "cannot open PATH: reason" becomes "PATH: reason", like the other failures.
        const std::string lead = "cannot open " + (path == standardInputPath ? shown : path) + ": ";
        outcome.failure = shown + ": " + (error.rfind(lead, 0) == 0 ? error.substr(lead.size()) : error);
        return outcome;
    }
    ScanFileReader reader(&listener, cancelled);
    reader.setFolding(&folding);
    outcome.tree = reader.read(*source);
    outcome.partial = reader.takePartial();
    if (!outcome.tree) {
        if (!reader.wasCancelled())
            outcome.failure = shown + ": " + reader.failure();
        return outcome;
    }
    problems = reader.problems();
    origin.file = path;
    origin.hasTimestamp = reader.metadata().hasTimestamp;
    origin.timestamp = reader.metadata().timestamp;
    return outcome;
}
