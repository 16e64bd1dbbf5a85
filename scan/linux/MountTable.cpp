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

bool contains(const std::vector<dev_t>& devices, dev_t device)
{
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

} // namespace

bool MountTable::isPseudoType(const char* fileSystemType)
{
    return std::any_of(std::begin(pseudoTypes), std::end(pseudoTypes),
                       [&](const char* type) { return std::strcmp(type, fileSystemType) == 0; });
}

bool MountTable::isPseudoMagic(long magic)
{
    switch (magic) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case SELINUX_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BINFMTFS_MAGIC:
    case AUTOFS_SUPER_MAGIC:
    case HUGETLBFS_MAGIC:
    case NSFS_MAGIC:
        return true;
    default:
        return false;
    }
}

MountTable::MountTable(std::string mountInfoPath) : path(std::move(mountInfoPath))
{
    orvex::MutexLock lock(mutex);
    loaded = load();
}

bool MountTable::load()
{
    FILE* file = std::fopen(path.c_str(), "re");
    if (!file)
        return false;
    pseudoDevices.clear();
    knownDevices.clear();
    char* line = nullptr;
    size_t capacity = 0;
    while (getline(&line, &capacity, file) > 0) {
        unsigned major = 0, minor = 0;
        if (std::sscanf(line, "%*u %*u %u:%u", &major, &minor) != 2)
            continue;
        knownDevices.push_back(makedev(major, minor));
        const char* separator = std::strstr(line, " - ");
        char type[64];
        if (separator && std::sscanf(separator + 3, "%63s", type) == 1 && isPseudoType(type))
            pseudoDevices.push_back(makedev(major, minor));
    }
    std::free(line);
    std::fclose(file);
    return true;
}

bool MountTable::isPseudo(dev_t device, int fd)
{
    // The magic number is the file system's own word, whenever it was mounted; some pseudo file
    // systems share theirs with real ones (devtmpfs reports tmpfs), so the table decides those.
    struct statfs info;
    if (fstatfs(fd, &info) == 0 && isPseudoMagic(long(info.f_type)))
        return true;
    orvex::MutexLock lock(mutex);
    if (!loaded)
        return false;
    if (!contains(knownDevices, device) && !contains(reloadedFor, device)) {
        reloadedFor.push_back(device); // a subvolume has no line of its own: read again only once
        load();
    }
    return contains(pseudoDevices, device);
}
