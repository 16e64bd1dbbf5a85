// Reads /proc/self/mountinfo: field 3 is the device as major:minor, the file-system type follows
// the " - " separator.
#include "scan/linux/MountTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace {

const char* const pseudoTypes[] = {
    "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "debugfs", "tracefs", "securityfs", "bpf",
    "pstore", "configfs", "fusectl", "mqueue", "binfmt_misc", "autofs", "efivarfs", "rpc_pipefs", "nsfs",
    "selinuxfs", "hugetlbfs",
};

} // namespace

bool MountTable::isPseudoType(const char* fileSystemType)
{
    return std::any_of(std::begin(pseudoTypes), std::end(pseudoTypes),
                       [&](const char* type) { return std::strcmp(type, fileSystemType) == 0; });
}

MountTable::MountTable()
{
    FILE* file = std::fopen("/proc/self/mountinfo", "re");
    if (!file)
        return;
    char* line = nullptr;
    size_t capacity = 0;
    while (getline(&line, &capacity, file) > 0) {
        unsigned major = 0, minor = 0;
        if (std::sscanf(line, "%*u %*u %u:%u", &major, &minor) != 2)
            continue;
        const char* separator = std::strstr(line, " - ");
        char type[64];
        if (separator && std::sscanf(separator + 3, "%63s", type) == 1 && isPseudoType(type))
            pseudoDevices.push_back(makedev(major, minor));
    }
    std::free(line);
    std::fclose(file);
    loaded = true;
}

bool MountTable::isPseudo(dev_t device, int fd) const
{
    if (loaded)
        return std::find(pseudoDevices.begin(), pseudoDevices.end(), device) != pseudoDevices.end();
    struct statfs info;
    if (fstatfs(fd, &info) != 0)
        return false;
    switch (info.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case NSFS_MAGIC:
        return true;
    default:
        return false;
    }
}
