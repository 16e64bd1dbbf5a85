// Shared ground for the scanner tests: TempTree makes a scratch tree with mkdtemp and removes it
// with everything in it; makeRandomTree() fills one reproducibly; WalkChecker checks every
// notification against the tree as the worker builds it; runInChild() runs checks in a fork()ed
// process that may drop privileges or change its mounts.
#pragma once

#include "scan/FileSizeMapper.h"
#include "scan/ScanListener.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <random>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace scantest {

inline void check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Polls `done` every millisecond for at most `seconds`.
inline bool waitFor(const std::function<bool()>& done, double seconds = 20)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline ScanState stateOf(FileSizeMapper& mapper, uint64_t* bytes = nullptr)
{
    std::string path;
    uint64_t mapped = 0, rootLength = 0;
    ScanState state = mapper.getProgress(path, mapped, rootLength);
    if (bytes)
        *bytes = mapped;
    return state;
}

inline bool finishes(FileSizeMapper& mapper)
{
    return waitFor([&] { return stateOf(mapper) == FINISHED; });
}

// Waits for the scan to finish and takes its tree.
inline orvex::UniquePtr<FilesystemNode> finish(FileSizeMapper& mapper)
{
    if (!finishes(mapper))
        ADD_FAILURE() << "the scan did not finish within 20 s";
    return mapper.takeResult();
}

// Maps `path` on a fresh scanner and returns the finished tree (null when the scan gave none).
inline orvex::UniquePtr<FilesystemNode> scanPath(const std::string& path, ScanListener* listener = nullptr)
{
    FileSizeMapper mapper;
    mapper.setListener(listener);
    mapper.mapDirectory(path);
    return finish(mapper);
}

class TempTree {
public:
    TempTree()
    {
        char pattern[] = "/tmp/velbrin-scan-XXXXXX";
        check(mkdtemp(pattern) != nullptr, "mkdtemp");
        root = pattern;
        chmod(root.c_str(), 0755); // reachable for the unprivileged child of the permission test
    }
    ~TempTree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& path() const { return root; }
    std::string at(const std::string& relative) const { return root + "/" + relative; }

    void dir(const std::string& relative) const { check(mkdir(at(relative).c_str(), 0755) == 0, "mkdir " + relative); }
    // Sized with ftruncate: the logical length is all the scanner reads.
    void file(const std::string& relative, uint64_t size) const
    {
        int fd = open(at(relative).c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        check(fd >= 0 && ftruncate(fd, off_t(size)) == 0, "file " + relative);
        close(fd);
    }
    void hardlink(const std::string& existing, const std::string& relative) const
    {
        check(link(at(existing).c_str(), at(relative).c_str()) == 0, "link " + relative);
    }
    void symlink(const std::string& target, const std::string& relative) const
    {
        check(::symlink(target.c_str(), at(relative).c_str()) == 0, "symlink " + relative);
    }
    void socket(const std::string& relative) const
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::string path = at(relative);
        check(path.size() < sizeof address.sun_path, "socket path too long");
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        check(fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "socket " + relative);
        close(fd);
    }

private:
    std::string root;
};

// A reproducible tree with uneven fan-out and depth: `directories` directories, `files` files of
// which about one in eight is empty. Returns the sum of the file sizes. Past the first 64, files
// are hard links to earlier ones: making inodes is slow on some disks, and every entry counts.
inline uint64_t makeRandomTree(const TempTree& tree, uint32_t seed, int directories, int files)
{
    std::mt19937 random(seed);
    std::vector<std::string> dirs { "" };
    for (int i = 0; i < directories; ++i) {
        // Half of them go below one of the newest directories, which makes long chains.
        size_t parent = random() % 2 ? dirs.size() - 1 - random() % std::min<size_t>(dirs.size(), 4) : random() % dirs.size();
        dirs.push_back(dirs[parent] + "d" + std::to_string(i) + "/");
        tree.dir(dirs.back());
    }
    uint64_t total = 0;
    std::vector<std::pair<std::string, uint64_t>> originals;
    for (int i = 0; i < files; ++i) {
        // Cubing skews the files toward the first directories: a few hold hundreds, most a handful.
        uint64_t r = random() % 1000;
        std::string name = dirs[size_t(r * r * r * dirs.size() / 1000000000)] + "f" + std::to_string(i);
        if (originals.size() < 64) {
            originals.emplace_back(name, random() % 8 == 0 ? 0 : random() % 300000);
            tree.file(name, originals.back().second);
        } else {
            auto original = originals[random() % originals.size()];
            originals.push_back(original);
            tree.hardlink(originals.back().first, name);
        }
        total += originals.back().second;
    }
    return total;
}

// The regular files and directories of `path`, in the order one readdir() pass returns them.
inline std::vector<std::string> plainListing(const std::string& path)
{
    std::vector<std::string> names;
    DIR* directory = opendir(path.c_str());
    check(directory != nullptr, "opendir " + path);
    while (dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        struct stat status;
        if (name != "." && name != ".." && lstat((path + "/" + name).c_str(), &status) == 0
            && (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)))
            names.push_back(name);
    }
    closedir(directory);
    return names;
}

inline const FilesystemNode* findChild(const FilesystemNode* directory, std::string_view name)
{
    for (int64_t i = 0; directory && i < directory->children.count; ++i) {
        if (directory->children[i]->name.view() == name)
            return directory->children[i];
    }
    return nullptr;
}

inline uint64_t childSum(const FilesystemNode* directory)
{
    uint64_t sum = 0;
    for (int64_t i = 0; i < directory->children.count; ++i)
        sum += directory->children[i]->size;
    return sum;
}

// Checks each notification as it arrives: directories entered and left in nested order, a
// directory linked before it is entered, a file's size already in its parent's total, a left
// directory's size final and not yet in its parent's. It can hold the worker at one file until
// the scanner is asked to stop, so a test can stop a scan that is certainly mid-walk.
class WalkChecker final : public ScanListener {
public:
    FileSizeMapper* holdScanner = nullptr;
    int64_t holdAtFile = -1;
    std::atomic<bool> holding { false };

    std::vector<std::string> rootNames;
    std::vector<const FilesystemNode*> openDirectories;
    int64_t entered = 0, left = 0, files = 0;

    void scanStarted(const char* name, size_t length) override
    {
        rootNames.emplace_back(name, length);
        openDirectories.clear();
    }
    void directoryEntered(FilesystemNode* directory) override
    {
        const FilesystemNode* parent = directory->parent;
        EXPECT_EQ(parent == nullptr, openDirectories.empty()) << "only the root is entered outside any directory";
        if (parent && !openDirectories.empty()) {
            EXPECT_EQ(parent, openDirectories.back()) << "entered a directory outside the one being walked";
            EXPECT_EQ(parent->children[parent->children.count - 1], directory) << "entered before being linked";
        }
        EXPECT_EQ(directory->children.count, 0);
        openDirectories.push_back(directory);
        entered += 1;
    }
    void fileAdded(FilesystemNode* file) override
    {
        ASSERT_FALSE(openDirectories.empty());
        EXPECT_EQ(file->parent, openDirectories.back());
        EXPECT_EQ(file->parent->size, childSum(file->parent) + file->size)
            << "a file's size must be in its parent's total once, before the file is linked";
        if (++files == holdAtFile) {
            holding = true;
            // getProgress takes no lock and reads only atomics and linked nodes, so the worker
            // may poll it too.
            EXPECT_TRUE(waitFor([&] { return stateOf(*holdScanner) != SCANNING; })) << "the held scan was never stopped";
        }
    }
    void directoryLeft(FilesystemNode* directory) override
    {
        ASSERT_FALSE(openDirectories.empty());
        EXPECT_EQ(directory, openDirectories.back()) << "left a directory that is not the innermost open one";
        EXPECT_EQ(directory->size, childSum(directory));
        if (directory->parent) {
            EXPECT_EQ(directory->parent->size, childSum(directory->parent) - directory->size)
                << "a directory's size is added to its parent only after it is left";
        }
        openDirectories.pop_back();
        left += 1;
    }
};

// Runs `body` in a fork()ed child and returns its verdict: empty when every check passed, a text
// starting with "SKIP:" when the child could not set up what it needs, else what went wrong.
inline std::string runInChild(const std::function<std::string()>& body)
{
    int channel[2];
    check(pipe(channel) == 0, "pipe");
    pid_t child = fork();
    check(child >= 0, "fork");
    if (child == 0) {
        close(channel[0]);
        std::string verdict;
        try {
            verdict = body();
        } catch (const std::exception& error) {
            verdict = std::string("exception: ") + error.what();
        }
        _exit(write(channel[1], verdict.data(), verdict.size()) == ssize_t(verdict.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string verdict;
    char buffer[512];
    pollfd readable { channel[0], POLLIN, 0 };
    ssize_t got = 1;
    while (got > 0 && poll(&readable, 1, 30000) == 1 && (got = read(channel[0], buffer, sizeof buffer)) > 0)
        verdict.append(buffer, size_t(got));
    close(channel[0]);
    if (got != 0) {
        kill(child, SIGKILL);
        verdict = "the child did not finish within 30 s";
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (verdict.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        verdict = "the child died with status " + std::to_string(status);
    return verdict;
}

} // namespace scantest
