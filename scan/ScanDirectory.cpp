// Polls the way the program does, at a short interval, until the worker has finished.
#include "scan/ScanDirectory.h"

#include "scan/FileSizeMapper.h"

#include <chrono>
#include <thread>

orvex::UniquePtr<FilesystemNode> scanDirectory(const std::string& path)
{
    FileSizeMapper mapper;
    mapper.mapDirectory(path);
    std::string progressPath;
    uint64_t bytes = 0, rootNameLength = 0;
    while (mapper.getProgress(progressPath, bytes, rootNameLength) == SCANNING)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return mapper.takeResult();
}
