// Polls the way the program does, at a short interval, until the worker has finished.
#include "scan/ScanDirectory.h"

#include "scan/FileSizeMapper.h"

#include <chrono>
#include <cstring>
#include <thread>

orvex::UniquePtr<FilesystemNode> scanDirectory(const std::string& path, ScanProblems* problems, TreeImporter* importer,
                                               ImportedScan* imported, uint64_t nodeBudget)
{
    return scanPaths({ path }, problems, importer, imported, nodeBudget);
}

orvex::UniquePtr<FilesystemNode> scanPaths(std::vector<std::string> paths, ScanProblems* problems,
                                           TreeImporter* importer, ImportedScan* imported, uint64_t nodeBudget)
{
    FileSizeMapper mapper;
    mapper.setImporter(importer);
    mapper.setNodeBudget(nodeBudget);
    mapper.mapPaths(std::move(paths));
    std::string progressPath;
    uint64_t bytes = 0, rootNameLength = 0;
    while (mapper.getProgress(progressPath, bytes, rootNameLength) == SCANNING)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (problems)
        *problems = mapper.problems();
    if (imported)
        *imported = mapper.imported();
    return mapper.takeResult();
}

std::string describeProblems(const ScanProblems& problems)
{
    std::string text;
    const uint64_t directories = problems.unlistedDirectories, files = problems.unreadableFiles;
    if (directories > 0 || files > 0) {
        if (directories > 0)
            text = std::to_string(directories) + (directories == 1 ? " directory" : " directories") + " could not be read completely";
        if (files > 0) {
            text += (text.empty() ? "" : " and ") + std::to_string(files)
                + (files == 1 ? " file's size" : " files' sizes") + " could not be read";
        }
        text += (directories + files == 1 ? "; its bytes are" : "; their bytes are");
        text += " missing from the total (first: " + problems.firstUnlistedPath;
        // A stored scan marks what could not be read but not why.
        if (problems.firstError)
            text += std::string(": ") + std::strerror(problems.firstError);
        text += ")";
    }
    if (problems.saturated) {
        if (!text.empty())
            text += "; ";
        text += "the total exceeds 2^64 - 1 bytes and is shown as 18446744073709551615, a lower bound";
    }
    return text;
}
