// MountTable: which devices of this system hold kernel pseudo file systems (proc, sysfs,
// cgroup, ...), read once from /proc/self/mountinfo. Their "files" are kernel interfaces, not
// disk usage, so the walk does not descend into them below the scanned root.
#pragma once

#include <sys/types.h>
#include <vector>

class MountTable {
public:
    MountTable();
    // Whether the directory open as `fd` on `device` lies on a pseudo file system. Without a
    // readable mount table the file system's magic number decides.
    bool isPseudo(dev_t device, int fd) const;

    static bool isPseudoType(const char* fileSystemType);

private:
    bool loaded = false;
    std::vector<dev_t> pseudoDevices;
};
