#include "scan/TreeImporter.h"

#include "scan/FileSizeMapper.h"

#include <ctime>

std::string storedScanCaption(std::string_view scannedPath, const ImportedScan& origin)
{
    std::string caption(scannedPath);
    if (!origin.hasTimestamp)
        return caption;
    const auto seconds = std::time_t(origin.timestamp);
    std::tm local {};
#ifdef _WIN32
    const bool converted = localtime_s(&local, &seconds) == 0;
#else
    const bool converted = localtime_r(&seconds, &local) != nullptr;
#endif
    char text[64];
    if (converted && std::strftime(text, sizeof text, ", scanned %Y-%m-%d %H:%M", &local) > 0)
        caption += text;
    return caption;
}

std::string rootCaption(std::string_view scannedPath, const ImportedScan& origin, const ScanProblems& problems)
{
    const uint64_t unread = problems.unlistedDirectories + problems.unreadableFiles;
    if (origin.file.empty() && unread == 0)
        return {};
    std::string caption = origin.file.empty() ? std::string(scannedPath) : storedScanCaption(scannedPath, origin);
    if (unread > 0)
        caption += ", " + std::to_string(unread) + (unread == 1 ? " entry" : " entries") + " could not be read";
    return caption;
}
