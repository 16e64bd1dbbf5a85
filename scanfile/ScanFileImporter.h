// ScanFileImporter: the scanner's importer for scan files (JSON exports, plain, gzip or Zstandard
// compressed), so that the program and the tools open a stored scan wherever they take a
// directory.
#pragma once

#include "scan/TreeImporter.h"

class ScanFileImporter final : public TreeImporter {
public:
    bool recognizes(const std::string& path) override;
    Outcome import(const std::string& path, ScanListener& listener, const std::function<bool()>& cancelled,
                   ScanProblems& problems, ImportedScan& origin, TreeFolding& folding) override;
};
