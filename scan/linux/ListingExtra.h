// The Linux lister's own state of a listing (see scan/ListingTree.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <sys/types.h>

struct ListingExtra {
    int fd = -1;                                 // held until every subdirectory is opened
    std::atomic<size_t> unopenedChildren { 0 };
    dev_t device = 0;
    ino_t inode = 0;
    bool live = false;                           // counted in the LiveDirectorySet

    size_t memory() const { return 0; }
};
