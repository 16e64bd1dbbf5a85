// LiveDirectorySet: the (device, inode) pairs of the directories whose listings are alive, that is
// read and not yet released by the walk. Every ancestor of a directory being read is alive, so a
// directory whose pair is absent cannot be open on its own walk path; only a pair that is present
// (a bind mount of an ancestor, or the same directory reached twice) needs the climb that
// confirms a cycle. Keeps the cycle check O(1) however deep the tree is. Any thread.
#pragma once

#include "engine/core/Mutex.h"

#include <cstdint>
#include <sys/types.h>
#include <unordered_map>

class LiveDirectorySet {
public:
    // Adds one listing of the directory; true when another listing of it is alive already.
    bool add(dev_t device, ino_t inode)
    {
        orvex::MutexLock lock(mutex);
        return counts[Key { device, inode }]++ > 0;
    }

    void remove(dev_t device, ino_t inode)
    {
        orvex::MutexLock lock(mutex);
        auto found = counts.find(Key { device, inode });
        if (found != counts.end() && --found->second == 0)
            counts.erase(found);
    }

private:
    struct Key {
        dev_t device;
        ino_t inode;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const
        {
            return size_t(uint64_t(key.inode) * 0x9E3779B97F4A7C15ull ^ uint64_t(key.device));
        }
    };

    orvex::Mutex mutex;
    std::unordered_map<Key, uint32_t, KeyHash> counts;
};
