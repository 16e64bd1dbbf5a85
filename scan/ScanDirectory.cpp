// Polls the way the program does, at a short interval, until the worker has finished.
#include "scan/ScanDirectory.h"

#include "scan/FileSizeMapper.h"

#include <chrono>
#include <cstring>
#include <thread>

orvex::UniquePtr<FilesystemNode> scanDirectory(const std::string& path, ScanProblems* problems, TreeImporter* importer,
                                               ImportedScan* imported)
{
    FileSizeMapper mapper;
    mapper.setImporter(importer);
    mapper.mapDirectory(path);
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
    if (problems.unlistedDirectories > 0) {
        text = std::to_string(problems.unlistedDirectories)
            + (problems.unlistedDirectories == 1 ? " directory could not be read completely; its bytes are"
                                                 : " directories could not be read completely; their bytes are")
            + " missing from the total (first: "
            + problems.firstUnlistedPath + ": " + std::strerror(problems.firstError) + ")";
    }
    if (problems.saturated) {
        if (!text.empty())
            text += "; ";
        text += "the total exceeds 2^64 - 1 bytes and is shown as 18446744073709551615, a lower bound";
    }
    return text;
}
