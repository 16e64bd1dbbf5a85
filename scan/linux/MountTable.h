// MountTable: which devices of this system hold kernel pseudo file systems (proc, sysfs,
// cgroup, ...), from /proc/self/mountinfo. Their "files" are kernel interfaces, not disk usage,
// so the walk does not descend into them below the scanned root. A file system mounted after the
// table was read is still recognised: its magic number is always checked, and a device the table
// does not know makes it read the table again (once per such device).
// isPseudo may be called from any thread.
#pragma once

#include "engine/core/Mutex.h"

#include <string>
#include <sys/types.h>
#include <vector>

class MountTable {
public:
    explicit MountTable(std::string mountInfoPath = "/proc/self/mountinfo");
    // Whether the directory open as `fd` on `device` lies on a pseudo file system.
    bool isPseudo(dev_t device, int fd);

    static bool isPseudoType(const char* fileSystemType);
    static bool isPseudoMagic(long magic);

private:
    bool load(); // under `mutex`

    std::string path;
    orvex::Mutex mutex;
    bool loaded = false;
    std::vector<dev_t> pseudoDevices;
    std::vector<dev_t> knownDevices;   // every device the table names
    std::vector<dev_t> reloadedFor;    // unknown devices that made the table be read again
};
