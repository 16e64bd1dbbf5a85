// ScanListener: what the scanner tells the live preview about a scan. scanStarted runs on the
// GUI thread inside FileSizeMapper::mapDirectory with the scanner's mutex held; the other three
// run on the worker in walk order (the root's directoryLeft also with the mutex held), so an
// implementation takes only its own lock, after the scanner's.
#pragma once

#include <cstddef>

struct FilesystemNode;

class ScanListener {
public:
    virtual ~ScanListener() = default;

    // The root name (the scanned path as given) of a scan about to start.
    virtual void scanStarted(const char* rootName, size_t length) = 0;
    // The directory is linked into the tree (or is the root) and is about to be walked.
    virtual void directoryEntered(FilesystemNode* directory) = 0;
    // The file has its final size, already added to its parent; it is linked right after.
    virtual void fileAdded(FilesystemNode* file) = 0;
    // The directory was walked completely and its size is final; it is added to its parent
    // right after. Not called for a directory whose walk was cancelled.
    virtual void directoryLeft(FilesystemNode* directory) = 0;
};
