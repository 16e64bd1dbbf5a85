// scanDirectory: maps one path with a FileSizeMapper of its own and waits for the result, for tools
// and benchmarks that have no frame loop to poll from. The program itself polls its scanner once
// per frame instead. Any thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "scan/FileSizeMapper.h"
#include "scan/FilesystemNode.h"

#include <string>
#include <vector>

// The finished tree, or null when `path` is neither a file nor a directory or holds a stored scan
// that cannot be read; what the scan could not read goes to `problems` when given. With an
// `importer`, a file it recognises is read as the tree it stores (and `imported` says whence).
// `nodeBudget` as FileSizeMapper::setNodeBudget takes it: by default every node is kept.
orvex::UniquePtr<FilesystemNode> scanDirectory(const std::string& path, ScanProblems* problems = nullptr,
                                               TreeImporter* importer = nullptr, ImportedScan* imported = nullptr,
                                               uint64_t nodeBudget = TreeFolding::never);

// The same for several paths mapped into one tree under a summary (FileSizeMapper::mapPaths); one
// path maps as scanDirectory maps it.
orvex::UniquePtr<FilesystemNode> scanPaths(std::vector<std::string> paths, ScanProblems* problems = nullptr,
                                           TreeImporter* importer = nullptr, ImportedScan* imported = nullptr,
                                           uint64_t nodeBudget = TreeFolding::never);

// One line for standard error about what a scan could not read or count, empty when nothing.
std::string describeProblems(const ScanProblems& problems);
