#include "app/StartPath.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

std::string startPathProblem(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) {
        DIR* directory = opendir(path.c_str());
        if (!directory)
            return std::strerror(errno);
        closedir(directory);
        return {};
    }
    if (!S_ISREG(info.st_mode))
        return "it is neither a directory nor a file";
    return {};
}

bool pathExists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}
