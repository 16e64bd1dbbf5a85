#include "scan/TreeImporter.h"

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
